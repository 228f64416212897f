#pragma once

#include <QImage>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ChartCtrl.h"
#include "ChartLineSerie.h"
#include "ChartStandardAxis.h"
#include "QtDrawSurface.h"

// A chart widget that counts its full draws and its requests for a repaint.
class CountingChart : public CChartCtrl {
public:
    void DrawChart(DrawSurface& surface, ChartRect rect) override {
        ++draws;
        CChartCtrl::DrawChart(surface, rect);
    }
    void InvalidateWindow() override {
        ++invalidations;
        CChartCtrl::InvalidateWindow();
    }
    int draws = 0;
    int invalidations = 0;
};

// An image surface that also notes the lines, boxes and texts drawn on it.
// Texts may be given one fixed size, so that layouts come out exact.
class RecordingSurface : public QtImageSurface {
public:
    struct Line {
        ChartPoint from, to;
        Color color;
    };
    struct Box {
        ChartRect rect;
        bool rounded;
    };
    struct Text {
        int x, y;
        std::string text;
        SurfaceFont font;
        ChartSize size;  // as measured when drawn
    };

    RecordingSurface(int width, int height);

    SurfacePen SelectPen(const SurfacePen& pen) override;
    SurfaceFont SelectFont(const SurfaceFont& font) override;
    void MoveTo(int x, int y) override;
    void LineTo(int x, int y) override;
    void Rectangle(int left, int top, int right, int bottom) override;
    void RoundRect(int left, int top, int right, int bottom, int ellipseWidth,
                   int ellipseHeight) override;
    void TextOut(int x, int y, const std::string& text) override;
    ChartSize TextExtent(const std::string& text) override;

    std::optional<ChartSize> fixedTextSize;
    std::vector<Line> lines;
    std::vector<Box> boxes;
    std::vector<Text> texts;

private:
    Color penColor_ = 0;
    SurfaceFont font_;
    ChartPoint at_;
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
