#include "ReadRequest.h"

#include "DeviceTypes.h"
#include "ModbusProtocol.h"
#include "TarqProtocol.h"

std::vector<uint8_t> BuildReadRequest(int protocol, uint8_t address, uint8_t modbusRegisters) {
    return protocol == kProtocolModbus ? BuildModbusRead(address, modbusRegisters)
                                       : BuildTarqFrame(kTarqReadAngles, address);
}
