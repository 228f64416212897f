#include "WindowBoxes.h"

#include <QObject>

#include "PlatformSeams.h"

void WindowBoxes::Show(const std::string& text, const std::string& caption, BoxIcon icon) {
    if (!messages_) return;
    if (deliveryDepth_ > 0) {
        QMetaObject::invokeMethod(
            &window_, [this, text, caption, icon] { Show(text, caption, icon); },
            Qt::QueuedConnection);
        return;
    }
    MessageIcon m = MessageIcon::None;
    if (icon == BoxIcon::Exclamation) m = MessageIcon::Warning;
    if (icon == BoxIcon::Error) m = MessageIcon::Error;
    messages_->ShowMessage(text, caption, m);
}
