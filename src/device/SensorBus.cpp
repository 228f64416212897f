#include "SensorBus.h"

#include "ReadRequest.h"

namespace {

ReplyTimeout TimeoutFor(const SensorBus::Options& o) {
    if (o.replyTimeout) return ReplyTimeout(*o.replyTimeout);
    return SensorBus::LineTimeout(o.baud, o.parity, o.protocol);
}

}  // namespace

SensorBus::SensorBus(const Options& options, ReceivePath& path)
    : path_(path),
      addresses_(options.addresses),
      poller_(options.addresses, options.interval, TimeoutFor(options), options.window),
      driver_(poller_, path, options.protocol, options.registers),
      rates_(options.addresses.size(), 0),
      repliesAtCount_(options.addresses.size(), 0) {
    path_.SetBusAddresses(addresses_);
}

SensorBus::~SensorBus() {
    path_.SetBusAddresses({});
}

ReplyTimeout SensorBus::LineTimeout(uint32_t baud, char parity, int protocol) {
    return ReplyTimeout(baud, parity == 'N' ? 10 : 11, BuildReadRequest(protocol, 1).size(),
                        ReceivePath::kFrameBufferSize);
}

void SensorBus::Restart(Clock::time_point now, Clock::duration openTook) {
    if (openTook > Clock::duration::zero()) poller_.SeedRoundTrip(openTook);
    poller_.Restart(now);
}

void SensorBus::Poll(Clock::time_point now) {
    driver_.Poll(now);
}

std::optional<size_t> SensorBus::File(uint8_t address, Clock::time_point now) {
    if (poller_.OnReply(address, now) != BusPoller::Verdict::Filed) return std::nullopt;
    return poller_.Find(address);
}

void SensorBus::CountSecond() {
    const std::vector<BusPoller::Sensor>& sensors = poller_.Sensors();
    for (size_t i = 0; i < sensors.size(); ++i) {
        rates_[i] = static_cast<int>(sensors[i].replies - repliesAtCount_[i]);
        repliesAtCount_[i] = sensors[i].replies;
    }
}

SensorBus::State SensorBus::StateOf(size_t at) const {
    const BusPoller::Sensor& s = poller_.Sensors()[at];
    if (s.silent) return State::Silent;
    return s.replies == 0 ? State::NeverAnswered : State::Answering;
}

uint64_t SensorBus::Unfiled() const {
    uint64_t unfiled = poller_.StrangerReplies();
    for (const BusPoller::Sensor& s : poller_.Sensors()) unfiled += s.duplicates + s.notAsked;
    return unfiled;
}
