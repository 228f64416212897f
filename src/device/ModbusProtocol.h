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

// The registers a read asks for, from register 2 on: X and Y (4), or X, Y and the
// temperature (5). The sensor answers 4 with all five; a standard device with
// just the four asked for, which hold no temperature.
constexpr uint8_t kModbusAngleRegisters = 4;
constexpr uint8_t kModbusAllRegisters = 5;

// AA 03 00 02 00 NN CRC: `registers` registers from register 2.
std::vector<uint8_t> BuildModbusRead(uint8_t address, uint8_t registers = kModbusAngleRegisters);
// AA 06 00 RR 00 VV CRC.
std::vector<uint8_t> BuildModbusWrite(uint8_t address, uint8_t reg, uint8_t value);

// Decodes a CRC-checked read reply of `count` bytes into `m`. Fields are read only
// from bytes inside the frame's data: a reply too short for a field leaves it as it
// was. The presence flags of `m` say which fields the reply carried.
void DecodeModbusRead(const uint8_t* frame, size_t count, const DecodeParameters& params,
                      Measurement& m);

// What the sensor can report: each angle within its measuring range, the range
// offset either side of zero (180 degrees when no range is set), and the
// temperature within the sensor's operating range. Anything else is a device
// or gateway that maps the registers otherwise, not a reading.
constexpr double kModbusLowestTemperature = -40.0;
constexpr double kModbusHighestTemperature = 85.0;
bool ModbusReadingPlausible(const Measurement& m, const DecodeParameters& params);
