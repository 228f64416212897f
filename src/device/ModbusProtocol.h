#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "DeviceTypes.h"

// Modbus RTU, functions 0x03 (read holding registers) and 0x06 (write single register).

constexpr uint8_t kModbusRead = 0x03;
constexpr uint8_t kModbusWrite = 0x06;

// Registers of the settings commands.
constexpr uint8_t kModbusRegParity = 0x09;
constexpr uint8_t kModbusRegZero = 0x10;
constexpr uint8_t kModbusRegAddress = 0x11;
constexpr uint8_t kModbusRegBaud = 0x12;
constexpr uint8_t kModbusRegFrequency = 0x13;

// CRC-16/MODBUS. The low byte is the first on the wire. Over a whole frame,
// its own CRC bytes included, a valid frame gives 0.
uint16_t ModbusCrc(const uint8_t* bytes, size_t count);

// AA 03 00 02 00 04 CRC: four registers from register 2.
std::vector<uint8_t> BuildModbusRead(uint8_t address);
// AA 06 00 RR 00 VV CRC.
std::vector<uint8_t> BuildModbusWrite(uint8_t address, uint8_t reg, uint8_t value);

// Decodes a CRC-checked read reply of `count` bytes into `m`. Fields are read only
// from bytes inside the frame's data: a reply too short for a field leaves it as it
// was. The presence flags of `m` say which fields the reply carried.
void DecodeModbusRead(const uint8_t* frame, size_t count, const DecodeParameters& params,
                      Measurement& m);
