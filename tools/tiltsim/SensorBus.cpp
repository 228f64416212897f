#include "SensorBus.h"

SensorBus::SensorBus(const SimulatorOptions& common, const std::vector<uint8_t>& addresses) {
    const bool bus = addresses.size() > 1;
    for (uint8_t address : addresses) {
        SimulatorOptions o = common;
        o.address = address;
        if (bus) {
            o.signalOffsetSeconds = kPhaseSecondsPerAddress * address;
            o.answerTarqBroadcast = false;
        }
        sensors_.emplace_back(o);
    }
    if (sensors_.empty()) sensors_.emplace_back(common);
}

SensorSimulator::Frames SensorBus::Feed(const uint8_t* bytes, size_t count, double nowSeconds) {
    SensorSimulator::Frames out;
    for (SensorSimulator& sensor : sensors_) {
        for (auto& frame : sensor.Feed(bytes, count, nowSeconds)) out.push_back(std::move(frame));
    }
    return out;
}
