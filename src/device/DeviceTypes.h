#pragma once

#include <cstdint>

// Window message numbers of the device link. The window keeps these numbers so
// that traces and tests speak the same language as the sensor's manuals.
constexpr int MSG_TX_FRAME = 1125;
constexpr int MSG_OP_CONFIRMED = 1126;
constexpr int MSG_RX_MODBUS = 1652;
constexpr int MSG_RX_TARQ = 1653;

// Protocol selector positions, as stored under the PROTOCOL key.
constexpr int kProtocolTarq = 0;
constexpr int kProtocolModbus = 1;

// Handed with every received block; lives only for the span of the delivery.
struct RxBlockInfo {
    uint32_t port = 0;
    uint32_t count = 0;
};

// One decoded sample. A frame that does not carry a field leaves its number as
// it was; the flags say which ones the last decoded frame carried (the decoders
// set all three). Written out as three numbers, a sample carries all three.
struct Measurement {
    double x = 0.0;
    double y = 0.0;
    double temperature = 0.0;
    bool hasX = true;
    bool hasY = true;
    bool hasTemperature = true;
    // The bus address the frame came from; on a bus it says whose sample it is.
    uint8_t address = 0;

    bool HasAnyValue() const { return hasX || hasY || hasTemperature; }
};

// The decode parameters the operator edits in the parameter list. Single
// precision on purpose: the sensors' documentation defines the scaling in float.
struct DecodeParameters {
    float ResolutionFactor = 0.01f;
    float XRangeOffset = 90.0f;
    float YRangeOffset = 90.0f;
};
