#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What `tiltlog set` asks of one sensor. The changes go out in a fixed order:
// those that leave the sensor where it is first, then the one that moves it
// (parity, baud rate or address), then save, which keeps all of them.
struct SensorChanges {
    enum class Zero { Keep, Set, Clear };
    Zero zero = Zero::Keep;
    int outputRateHz = -1;  // -1: unchanged
    char newParity = 0;     // 0: unchanged
    uint32_t newBaud = 0;   // 0: unchanged
    int newAddress = -1;    // -1: unchanged
    bool save = false;

    bool Any() const {
        return zero != Zero::Keep || outputRateHz >= 0 || newParity != 0 || newBaud != 0 ||
               newAddress >= 0 || save;
    }
};
