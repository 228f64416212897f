#pragma once

#include <QWidget>

#include "ChartCore.h"

// The chart as a widget: it paints the chart's back buffer and the items
// drawn over it, and lays the chart out again when resized.
class CChartCtrl : public QWidget, public CChartCore {
    Q_OBJECT

public:
    explicit CChartCtrl(QWidget* parent = nullptr);
    ~CChartCtrl() override;

    void InvalidateWindow() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

    bool HasWindow() const override { return true; }
    ChartRect ClientRect() const override;
    std::unique_ptr<DrawSurface> CreateBackBuffer(int width, int height) override;
    std::unique_ptr<DrawSurface> CreatePictureSurface(int width, int height) override;
};
