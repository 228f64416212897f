#pragma once

#include <cstdint>
#include <vector>

#include "ModbusProtocol.h"

// The request that asks the sensor at `address` for its angles, in the protocol
// of the selector (kProtocolTarq or kProtocolModbus); a Modbus read asks for
// `modbusRegisters` registers (4 or 5).
std::vector<uint8_t> BuildReadRequest(int protocol, uint8_t address,
                                      uint8_t modbusRegisters = kModbusAngleRegisters);
