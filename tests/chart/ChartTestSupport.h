#pragma once

#include <QImage>
#include <memory>
#include <vector>

#include "ChartCtrl.h"
#include "ChartLineSerie.h"
#include "ChartStandardAxis.h"
#include "QtDrawSurface.h"

// A chart widget that counts its full draws.
class CountingChart : public CChartCtrl {
public:
    void DrawChart(DrawSurface& surface, ChartRect rect) override {
        ++draws;
        CChartCtrl::DrawChart(surface, rect);
    }
    int draws = 0;
};

// The back buffer of a chart as an image (null before the first refresh).
QImage BackBufferImage(const CChartCore& chart);

// Standard axes on the left and at the bottom, both following all points.
void AttachStandardAxes(CChartCore& chart);

// Adds a line serie with the points; returns it (owned by the chart).
CChartLineSerie* AddLine(CChartCore& chart, const std::vector<double>& x,
                         const std::vector<double>& y);

// A 96-dpi image surface, as the golden pictures are drawn at.
std::unique_ptr<QtImageSurface> MakeImage(int width, int height,
                                          QImage::Format format = QImage::Format_RGB32);

bool IsColor(QRgb pixel, Color color);
