#include "ConsoleLinkView.h"

#include "SystemCalls.h"

ConsoleLinkView::ConsoleLinkView(Console& console, LinkTimerSchedule& timers, PortFacts port,
                                 bool retrying,
                                 std::function<LinkTimerSchedule::Clock::time_point()> now)
    : console_(console),
      timers_(timers),
      port_(std::move(port)),
      retrying_(retrying),
      now_(std::move(now)) {}

std::string ConsoleLinkView::RetryNote() const {
    return retrying_ ? "; trying again every second" : "";
}

std::string ConsoleLinkView::Text(LinkText text) const {
    switch (text) {
        case LinkText::PortOpenFailed: {
            // The window's box leaves the system's reason out; a log needs it.
            const std::string note = port_.openFailureNote ? port_.openFailureNote() : "";
            return "cannot open " + port_.describe() + ": " +
                   (note.empty() ? SystemText(port_.lastOpenError()) : note) + RetryNote();
        }
        case LinkText::OperateSuccessfully:
            return "operate successfully!!";
    }
    return "";
}

void ConsoleLinkView::SayOnce(const std::string& text) {
    if (!said_.insert(text).second) return;
    // A box's paragraphs (a failure, then advice) are lines of their own.
    static const std::string kParagraph = "\n\n";
    size_t from = 0;
    for (size_t at; (at = text.find(kParagraph, from)) != std::string::npos;
         from = at + kParagraph.size())
        console_.Message(text.substr(from, at - from));
    console_.Message(text.substr(from));
}

void ConsoleLinkView::ShowBox(const std::string& text, const std::string&, BoxIcon) {
    SayOnce(text);
}

void ConsoleLinkView::StartTimer(LinkTimer timer, int periodMs, bool singleShot) {
    timers_.Start(timer, periodMs, singleShot, now_());
}

void ConsoleLinkView::StopTimer(LinkTimer timer) {
    timers_.Stop(timer);
}
