#include "LinkHealth.h"

#include <cmath>

#include "PortNames.h"

LinkHealth::LinkHealth(const HealthClock& clock, std::chrono::milliseconds quietSpan)
    : clock_(clock), quietSpan_(quietSpan) {}

void LinkHealth::Opened(uint32_t portnr) {
    open_ = true;
    silent_ = false;
    awaiting_ = false;
    answeredSinceOpen_ = false;
    unanswered_ = 0;
    repliesSinceTick_ = 0;
    portnr_ = portnr;
    openedAt_ = lastTick_ = clock_.Steady();
    Settle();
}

void LinkHealth::Closed() {
    open_ = false;
    state_ = State::Closed;
}

void LinkHealth::Lost(const LinkLoss& loss) {
    open_ = false;
    loss_ = loss;
    state_ = State::Lost;
}

void LinkHealth::Reopening() {
    if (state_ == State::Lost) state_ = State::Reopening;
}

void LinkHealth::RequestSent() {
    // A request that goes out before the last one was answered leaves that one unanswered.
    if (awaiting_) ++unanswered_;
    awaiting_ = true;
    lastRequest_ = clock_.Steady();
    if (unanswered_ >= kSilentAfter) silent_ = true;
    Settle();
}

void LinkHealth::ReplyReceived() {
    awaiting_ = false;
    unanswered_ = 0;
    silent_ = false;
    answeredSinceOpen_ = everAnswered_ = true;
    ++repliesSinceTick_;
    lastReply_ = clock_.Steady();
    if (state_ != State::Answering) Settle();
}

void LinkHealth::Tick() {
    const Steady now = clock_.Steady();
    const double seconds = std::chrono::duration<double>(now - lastTick_).count();
    if (seconds > 0) {
        rateHz_ = static_cast<int>(std::lround(repliesSinceTick_ / seconds));
        repliesSinceTick_ = 0;
        lastTick_ = now;
    }
    if (open_) {
        Steady heard = openedAt_;
        if (answeredSinceOpen_ && lastReply_ > heard) heard = lastReply_;
        if (lastRequest_ > heard) heard = lastRequest_;
        if (now - heard >= quietSpan_) silent_ = true;
    }
    Settle();
}

void LinkHealth::Settle() {
    if (!open_) return;
    state_ = silent_ ? State::Silent : answeredSinceOpen_ ? State::Answering : State::Waiting;
}

LinkHealth::Status LinkHealth::Report() const {
    Status s;
    s.state = state_;
    s.rateHz = rateHz_;
    s.unanswered = unanswered_;
    s.everAnswered = everAnswered_;
    s.loss = loss_;
    s.portnr = portnr_;
    const Steady now = clock_.Steady();
    const auto since = [&](Steady at) {
        return static_cast<int>(std::chrono::duration_cast<std::chrono::seconds>(now - at).count());
    };
    // Steady time stamps every reply cheaply; the wall clock is read once, here.
    if (everAnswered_)
        s.lastReply = std::chrono::system_clock::to_time_t(
            clock_.Wall() -
            std::chrono::duration_cast<std::chrono::system_clock::duration>(now - lastReply_));
    if (state_ == State::Silent && unanswered_ == 0)
        s.quietSeconds = since(answeredSinceOpen_ ? lastReply_ : openedAt_);
    return s;
}

namespace {

std::string Clock(std::time_t at) {
    std::tm local{};
    localtime_r(&at, &local);
    char text[16];
    std::strftime(text, sizeof text, "%H:%M:%S", &local);
    return text;
}

std::string SilentText(const LinkHealth::Status& s, bool chinese) {
    const std::string n = std::to_string(s.unanswered > 0 ? s.unanswered : s.quietSeconds);
    std::string text;
    if (chinese) {
        text = "无应答：" + (s.unanswered > 0 ? n + " 次轮询未应答" : n + " 秒未收到数据") + "，";
        return text + (s.everAnswered ? "最后应答 " + Clock(s.lastReply) : "从未应答");
    }
    text = "Silent: " +
           (s.unanswered > 0 ? n + " polls unanswered" : "nothing received for " + n + " s") + ", ";
    return text + (s.everAnswered ? "last reply " + Clock(s.lastReply) : "never answered");
}

}  // namespace

std::string LinkHealthText(const LinkHealth::Status& s, bool chinese) {
    using State = LinkHealth::State;
    switch (s.state) {
        case State::Closed:
            return chinese ? "已关闭" : "Closed";
        case State::Waiting:
            return chinese ? "已打开，等待应答" : "Open, waiting for a reply";
        case State::Answering:
            return (chinese ? "应答中，" : "Answering, ") + std::to_string(s.rateHz) + " Hz";
        case State::Silent:
            return SilentText(s, chinese);
        case State::Lost:
            return (chinese ? "已断开：" : "Lost: ") + LossReason(s.loss, chinese);
        case State::Reopening: {
            const std::string port = PortName(static_cast<int>(s.portnr));
            return chinese ? "等待重新打开 " + port + "；已断开：" + LossReason(s.loss, true)
                           : "Waiting to reopen " + port + "; lost: " + LossReason(s.loss, false);
        }
    }
    return std::string();
}
