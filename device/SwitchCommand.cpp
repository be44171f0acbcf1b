#include "device/SwitchCommand.h"

#include "device/module1.h"

namespace device {

ProbeResult Probe(uint8_t& port_byte) {
    switch (module1::CheckLibrary()) {
    case module1::LibraryState::LibraryMissing: return {DeviceState::LibraryMissing, 0};
    case module1::LibraryState::OperationMissing: return {DeviceState::LibraryIncomplete, 0};
    case module1::LibraryState::OtherArchitecture: return {DeviceState::LibraryOtherArchitecture, 0};
    case module1::LibraryState::Ready: break;
    }
    const int32_t status = module1::DoGetOutDataPort(port_byte);
    return {status == module1::DEVICE_NOT_PRESENT ? DeviceState::Absent : DeviceState::Present, status};
}

void SendSwitchPasses(uint8_t& port_byte) {
    for (const uint8_t mask : SWITCH_PASS_MASKS) {
        module1::DoGetDataPortDirection(port_byte);
        port_byte ^= mask;
        module1::DoSetDataPortDirection(port_byte);
        module1::DoSetOutDataPort(port_byte);
    }
}

}  // namespace device
