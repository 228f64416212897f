#include "FocusRing.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>

namespace {

// Dark orange reads on the pale panels, the white fields and the chart alike.
const QColor kRingColour(0xd9, 0x5b, 0x00);

}  // namespace

FocusRing::FocusRing(QWidget& window) : QWidget(&window) {
    setObjectName(QStringLiteral("FocusRing"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    hide();
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget*, QWidget* now) { Track(now); });
    Track(window.focusWidget());
}

void FocusRing::Track(QWidget* focused) {
    if (tracked_) tracked_->removeEventFilter(this);
    tracked_ = focused && parentWidget()->isAncestorOf(focused) ? focused : nullptr;
    if (tracked_) tracked_->installEventFilter(this);
    Follow();
}

void FocusRing::Follow() {
    if (!tracked_ || !tracked_->isVisible()) {
        hide();
        return;
    }
    const int margin = kGap + kWidth;
    const QRect around(tracked_->mapTo(parentWidget(), QPoint()), tracked_->size());
    setGeometry(around.adjusted(-margin, -margin, margin, margin));
    raise();
    show();
    update();
}

bool FocusRing::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Show:
        case QEvent::Hide:
            if (watched == tracked_) Follow();
            break;
        default:
            break;
    }
    return QWidget::eventFilter(watched, event);
}

void FocusRing::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setPen(QPen(kRingColour, kWidth));
    p.setBrush(Qt::NoBrush);
    const qreal half = kWidth / 2.0;
    p.drawRect(QRectF(rect()).adjusted(half, half, -half, -half));
}
