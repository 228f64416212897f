#include "BusNews.h"

#include <chrono>
#include <cstdio>

namespace {

std::string English(const BusPoller::News& n, bool polled, int intervalMs) {
    const std::string who = "address " + std::to_string(n.address);
    const std::string inARow = std::to_string(BusPoller::kSilentAfter) + " requests in a row";
    switch (n.kind) {
        case BusPoller::NewsKind::Silent:
            return who +
                   (n.bad == 0 ? " does not answer (" + inARow + ")"
                               : " gives no valid reply (" + inARow + ", " + std::to_string(n.bad) +
                                     " of the replies failed their check)") +
                   "; still asking it every round";
        case BusPoller::NewsKind::AnswersAgain:
            return who + " answers again";
        case BusPoller::NewsKind::TwoSensors:
            return "two sensors answer at " + who +
                   "; only the first reply to each request is recorded";
        case BusPoller::NewsKind::NotAsked:
            return who + " answers when " +
                   (n.asked ? "address " + std::to_string(*n.asked) + " is asked"
                            : "nobody is asked") +
                   (polled ? "" : " (it is not polled)") + "; such replies are not recorded";
        case BusPoller::NewsKind::LongRound:
            return "a round of the bus takes " + SpanText(n.length) + ", longer than the " +
                   std::to_string(intervalMs) +
                   " ms asked: each address is asked that much less often";
    }
    return {};
}

std::string Chinese(const BusPoller::News& n, bool polled, int intervalMs) {
    const std::string who = "地址 " + std::to_string(n.address);
    const std::string inARow = "连续 " + std::to_string(BusPoller::kSilentAfter) + " 次请求";
    switch (n.kind) {
        case BusPoller::NewsKind::Silent:
            return who +
                   (n.bad == 0 ? " 无应答（" + inARow + "）"
                               : " 无有效应答（" + inARow + "，其中 " + std::to_string(n.bad) +
                                     " 个应答校验失败）") +
                   "；每轮仍继续询问";
        case BusPoller::NewsKind::AnswersAgain:
            return who + " 重新应答";
        case BusPoller::NewsKind::TwoSensors:
            return "两个传感器在" + who + "应答；每次请求只记录第一个应答";
        case BusPoller::NewsKind::NotAsked:
            return who + " 在" +
                   (n.asked ? "询问地址 " + std::to_string(*n.asked) + " 时" : "无人被询问时") +
                   "应答" + (polled ? "" : "（该地址不在轮询之列）") + "；此类应答不予记录";
        case BusPoller::NewsKind::LongRound:
            return "总线一轮需要 " + SpanText(n.length) + "，长于设定的 " +
                   std::to_string(intervalMs) + " ms：每个地址的询问相应变少";
    }
    return {};
}

}  // namespace

std::string SpanText(std::chrono::steady_clock::duration span) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(span).count();
    if (ms < 10000) return std::to_string(ms) + " ms";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(ms) / 1000.0);
    return text;
}

std::string BusNewsText(const BusPoller::News& news, bool polled, int intervalMs, bool chinese) {
    return chinese ? Chinese(news, polled, intervalMs) : English(news, polled, intervalMs);
}
