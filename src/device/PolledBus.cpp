#include "PolledBus.h"

#include "ReadRequest.h"

namespace {

ReplyTimeout TimeoutFor(const PolledBus::Options& o) {
    if (o.replyTimeout) return ReplyTimeout(*o.replyTimeout);
    return PolledBus::LineTimeout(o.baud, o.parity, o.protocol);
}

}  // namespace

PolledBus::PolledBus(const Options& options, ReceivePath& path)
    : path_(path),
      addresses_(options.addresses),
      poller_(options.addresses, options.interval, TimeoutFor(options), options.window),
      driver_(poller_, path, options.protocol, options.registers),
      rates_(options.addresses.size(), 0),
      repliesAtCount_(options.addresses.size(), 0) {
    path_.SetBusAddresses(addresses_);
}

PolledBus::~PolledBus() {
    path_.SetBusAddresses({});
}

ReplyTimeout PolledBus::LineTimeout(uint32_t baud, char parity, int protocol) {
    return ReplyTimeout(baud, parity == 'N' ? 10 : 11, BuildReadRequest(protocol, 1).size(),
                        ReceivePath::kFrameBufferSize);
}

void PolledBus::Restart(Clock::time_point now, Clock::duration openTook) {
    if (openTook > Clock::duration::zero()) poller_.SeedRoundTrip(openTook);
    poller_.Restart(now);
}

void PolledBus::Poll(Clock::time_point now) {
    driver_.Poll(now);
}

std::optional<size_t> PolledBus::File(uint8_t address, Clock::time_point now) {
    if (poller_.OnReply(address, now) != BusPoller::Verdict::Filed) return std::nullopt;
    return poller_.Find(address);
}

void PolledBus::CountSecond() {
    const std::vector<BusPoller::Sensor>& sensors = poller_.Sensors();
    for (size_t i = 0; i < sensors.size(); ++i) {
        rates_[i] = static_cast<int>(sensors[i].replies - repliesAtCount_[i]);
        repliesAtCount_[i] = sensors[i].replies;
    }
}

PolledBus::State PolledBus::StateOf(size_t at) const {
    const BusPoller::Sensor& s = poller_.Sensors()[at];
    if (s.silent) return State::Silent;
    return s.replies == 0 ? State::NeverAnswered : State::Answering;
}

uint64_t PolledBus::Unfiled() const {
    uint64_t unfiled = poller_.StrangerReplies();
    for (const BusPoller::Sensor& s : poller_.Sensors()) unfiled += s.duplicates + s.notAsked;
    return unfiled;
}
