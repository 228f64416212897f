#pragma once

#include <QWidget>

#include "ChartCore.h"

// The chart as a widget: it paints the chart's back buffer and the items
// drawn over it, lays the chart out again when resized, feeds the mouse to
// the chart and hosts the axes' scroll bars.
class CChartCtrl : public QWidget, public CChartCore {
    Q_OBJECT

public:
    explicit CChartCtrl(QWidget* parent = nullptr);
    ~CChartCtrl() override;

    void InvalidateWindow() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

    bool HasWindow() const override { return true; }
    ChartRect ClientRect() const override;
    std::unique_ptr<DrawSurface> CreateBackBuffer(int width, int height) override;
    std::unique_ptr<DrawSurface> CreatePictureSurface(int width, int height) override;
    std::unique_ptr<ScrollBarView> CreateScrollBarView(const CChartAxis& axis) override;
    void RepaintWindow() override;
    void SetPointerHidden(bool hidden) override;
};
