#include "ChartCtrl.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QResizeEvent>
#include <QScrollBar>
#include <algorithm>

#include "ChartAxis.h"
#include "ChartScrollBar.h"
#include "QtDrawSurface.h"

namespace {

ChartPoint ClientPoint(const QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    return {p.x(), p.y()};
}

// An axis's scroll bar as a child control of the chart. Qt's slider already
// moved when it reports an action; the chart's bar decides the position.
class AxisScrollBarControl : public QScrollBar, public ScrollBarView {
public:
    AxisScrollBarControl(CChartCtrl* chart, bool horizontal)
        : QScrollBar(horizontal ? Qt::Horizontal : Qt::Vertical, chart), chart_(chart) {
        setObjectName(QStringLiteral("100"));
        connect(this, &QAbstractSlider::actionTriggered, this, [this](int action) {
            const int request = RequestOf(action);
            if (request >= 0) Forward(request);
        });
        connect(this, &QAbstractSlider::sliderReleased, this,
                [this] { Forward(ScrollThumbPosition); });
    }

    int Thickness() const override {
        const QSize hint = sizeHint();
        return orientation() == Qt::Horizontal ? hint.height() : hint.width();
    }
    void Bind(CChartScrollBar* bar) override { bar_ = bar; }
    void SetGeometry(const ChartRect& r) override {
        setGeometry(r.left, r.top, r.Width(), r.Height());
    }
    void SetRange(int min, int max, int page, int position) override {
        // The bar's last step is its maximum; Qt's maximum is the last place
        // the page can start.
        const int last = std::max(min, max - page + 1);
        setRange(min, last);
        setPageStep(page);
        setValue(std::clamp(position, min, last));
    }
    void SetShown(bool shown) override { setVisible(shown); }
    void SetEnabled(bool enabled) override { setEnabled(enabled); }

private:
    static int RequestOf(int action) {
        switch (action) {
            case SliderSingleStepSub:
                return ScrollLineBack;
            case SliderSingleStepAdd:
                return ScrollLineForward;
            case SliderPageStepSub:
                return ScrollPageBack;
            case SliderPageStepAdd:
                return ScrollPageForward;
            case SliderMove:
                return ScrollThumbTrack;
            case SliderToMinimum:
                return ScrollToStart;
            case SliderToMaximum:
                return ScrollToEnd;
            default:
                return -1;
        }
    }

    void Forward(int request) {
        if (!bar_) return;
        chart_->OnScrollBarRequest(*bar_, request, sliderPosition());
        // The position the chart's bar settled on, not the one Qt moved to.
        setSliderPosition(value());
    }

    CChartCtrl* chart_;
    CChartScrollBar* bar_ = nullptr;
};

}  // namespace

CChartCtrl::CChartCtrl(QWidget* parent) : QWidget(parent) {
    // The back buffer covers every pixel: no background erase, no flashing.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
}

CChartCtrl::~CChartCtrl() {
    DropScrollBarViews();
}

void CChartCtrl::InvalidateWindow() {
    update();
}

void CChartCtrl::RepaintWindow() {
    repaint();
}

void CChartCtrl::SetPointerHidden(bool hidden) {
    const Qt::CursorShape shape = hidden ? Qt::BlankCursor : Qt::ArrowCursor;
    if (cursor().shape() != shape) setCursor(shape);
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

std::unique_ptr<ScrollBarView> CChartCtrl::CreateScrollBarView(const CChartAxis& axis) {
    return std::make_unique<AxisScrollBarControl>(this, axis.IsHorizontal());
}

void CChartCtrl::paintEvent(QPaintEvent*) {
    QtDrawSurface window(this);
    Paint(window);
}

void CChartCtrl::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    OnResize();
}

// Qt keeps the pointer with the widget from a press to the last release, so
// moves and the release outside it still arrive here: the chart's capture.
void CChartCtrl::mousePressEvent(QMouseEvent* event) {
    const ChartPoint p = ClientPoint(event);
    if (event->button() == Qt::LeftButton) {
        OnLButtonDown(p.x, p.y);
    } else if (event->button() == Qt::RightButton) {
        OnRButtonDown(p.x, p.y);
    }
}

void CChartCtrl::mouseReleaseEvent(QMouseEvent* event) {
    const ChartPoint p = ClientPoint(event);
    if (event->button() == Qt::LeftButton) {
        OnLButtonUp(p.x, p.y);
    } else if (event->button() == Qt::RightButton) {
        OnRButtonUp(p.x, p.y);
    }
}

void CChartCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
    const ChartPoint p = ClientPoint(event);
    if (event->button() == Qt::LeftButton) {
        OnLButtonDoubleClick(p.x, p.y);
    } else if (event->button() == Qt::RightButton) {
        OnRButtonDoubleClick(p.x, p.y);
    }
}

void CChartCtrl::mouseMoveEvent(QMouseEvent* event) {
    const ChartPoint p = ClientPoint(event);
    OnMouseMove(p.x, p.y);
}
