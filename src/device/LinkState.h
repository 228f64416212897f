#pragma once

#include <cstdint>
#include <iterator>
#include <vector>

#include "DeviceTypes.h"

// The line parameters and link state the panel keeps and the others read.
struct LinkState {
    bool linkOpen = false;
    uint32_t portnr = 0;
    uint32_t baud = 0;
    char parity = 'N';
    int dataBits = 8;
    int stopBits = 0;
    uint8_t deviceAddress = 0;
    // Two or more: a bus, polled in turn; deviceAddress is then the selected
    // sensor's, which the readout shows and the settings commands talk to.
    std::vector<uint8_t> busAddresses;
    int protocol = kProtocolTarq;
    // Modbus reads ask for 4 registers (X, Y) or 5 (and the temperature).
    uint8_t modbusRegisters = 4;
    bool startupUnconfirmed = true;
    int autoOpenedIndex = 0;
    bool pollingOn = false;
};

// The baud and parity lists' entries, by position.
constexpr uint32_t kBaudTable[] = {2400, 4800, 9600, 19200, 38400, 115200, 230400};
constexpr char kParityTable[] = {'N', 'O', 'E'};
constexpr int kBaudCount = static_cast<int>(std::size(kBaudTable));
constexpr int kParityCount = static_cast<int>(std::size(kParityTable));
