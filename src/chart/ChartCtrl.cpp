#include "ChartCtrl.h"

#include <QPaintEvent>
#include <QResizeEvent>

#include "QtDrawSurface.h"

CChartCtrl::CChartCtrl(QWidget* parent) : QWidget(parent) {
    // The back buffer covers every pixel: no background erase, no flashing.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
}

CChartCtrl::~CChartCtrl() = default;

void CChartCtrl::InvalidateWindow() {
    update();
}

ChartRect CChartCtrl::ClientRect() const {
    return {0, 0, width(), height()};
}

std::unique_ptr<DrawSurface> CChartCtrl::CreateBackBuffer(int width, int height) {
    return std::make_unique<QtImageSurface>(width, height, QtImageSurface::kCompatibleFormat,
                                            logicalDpiX(), logicalDpiY());
}

std::unique_ptr<DrawSurface> CChartCtrl::CreatePictureSurface(int width, int height) {
    return std::make_unique<QtImageSurface>(width, height, QtImageSurface::kPictureFormat,
                                            logicalDpiX(), logicalDpiY());
}

void CChartCtrl::paintEvent(QPaintEvent*) {
    QtDrawSurface window(this);
    Paint(window);
}

void CChartCtrl::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    OnResize();
}
