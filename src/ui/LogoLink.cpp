#include "LogoLink.h"

#include <QAbstractButton>
#include <QMouseEvent>
#include <QWidget>

#include "PlatformSeams.h"

const char* const kChinesePageUrl = "https://www.tiltscope.example/";
const char* const kEnglishPageUrl = "https://www.tiltscope.example/en/";

void LogoLink::Activate() {
    Follow();
    // The pointer changes on moves without a button, too.
    area_.setMouseTracking(true);
    area_.installEventFilter(this);
}

void LogoLink::Follow() {
    rect_ = area_.geometry();
}

bool LogoLink::Inside(const QPoint& p) const {
    return p.x() > rect_.left() && p.x() < rect_.left() + rect_.width() && p.y() > rect_.top() &&
           p.y() < rect_.top() + rect_.height();
}

bool LogoLink::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (watched == &area_ && (type == QEvent::MouseMove || type == QEvent::MouseButtonRelease)) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const bool inside = Inside(area_.mapTo(&window_, mouse->position().toPoint()));
        if (type == QEvent::MouseMove) {
            if (inside)
                area_.setCursor(Qt::PointingHandCursor);
            else
                area_.unsetCursor();
        } else if (inside && mouse->button() == Qt::LeftButton && urls_) {
            urls_->OpenUrl(chineseButton_.isChecked() ? kChinesePageUrl : kEnglishPageUrl);
        }
    }
    // The event goes on to its usual handling either way.
    return QObject::eventFilter(watched, event);
}
