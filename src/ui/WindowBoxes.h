#pragma once

#include <string>

#include "LinkView.h"

class MessageSink;
class QObject;

// The window's message boxes. A box waits for the operator; raised from a
// received frame it would hold the monitor thread, and the line's bytes would
// pile up in the kernel until they were lost. Such a box opens once the
// delivery has returned.
class WindowBoxes {
public:
    // `window` carries the deferred boxes: they go with it.
    WindowBoxes(QObject& window, MessageSink* messages) : window_(window), messages_(messages) {}

    void Show(const std::string& text, const std::string& caption, BoxIcon icon);
    // Around the channel's hand-off of received bytes.
    void BeginDelivery() { ++deliveryDepth_; }
    void EndDelivery() { --deliveryDepth_; }

private:
    QObject& window_;
    MessageSink* messages_;
    int deliveryDepth_ = 0;
};
