#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "SensorSimulator.h"

// Several sensors on one RS-485 line: every sensor hears every byte and answers
// only what is addressed to it, so an absent address gets no answer at all.
// One address is exactly one sensor as it is alone on its line.
class SensorBus {
public:
    SensorBus(const SimulatorOptions& common, const std::vector<uint8_t>& addresses);

    // Request bytes as they arrive; the replies of all sensors, one entry per frame.
    SensorSimulator::Frames Feed(const uint8_t* bytes, size_t count, double nowSeconds);

    // The first address's sensor: the one that drives automatic output and
    // whose line settings are the line's.
    SensorSimulator& Primary() { return sensors_.front(); }
    const SensorSimulator& Primary() const { return sensors_.front(); }
    const std::vector<SensorSimulator>& Sensors() const { return sensors_; }

    // Seconds of signal between neighbouring addresses on a bus.
    static constexpr double kPhaseSecondsPerAddress = 1.7;

private:
    std::vector<SensorSimulator> sensors_;
};
