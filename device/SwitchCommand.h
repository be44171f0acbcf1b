// The box as every front end sees it: a probe that tells its state, and the
// command that makes it pass the line through.
#pragma once

#include <cstdint>

namespace device {

// LibraryOtherArchitecture: the only library found is of the other width
// (64-bit for this 32-bit program), which no process of ours can load.
enum class DeviceState { Present, Absent, LibraryMissing, LibraryIncomplete, LibraryOtherArchitecture };

inline bool IsLibraryProblem(DeviceState state) {
    return state != DeviceState::Present && state != DeviceState::Absent;
}

struct ProbeResult {
    DeviceState state;
    int32_t status;  // the library's answer; 0 when the library could not be asked
};

// Checks the library, then asks DoGetOutDataPort whether the box is on the
// bus. Only status 1 means absent. Callers hold a device::BoxLock.
ProbeResult Probe(uint8_t& port_byte);

// The three passes of the switch command: read the direction register, flip
// the pass's bits, write the byte to the direction and the output registers.
// Bit 1 is pulsed around a lasting toggle of bit 0. Statuses are not looked at.
inline constexpr uint8_t SWITCH_PASS_MASKS[] = {0x02, 0x01, 0x02};
void SendSwitchPasses(uint8_t& port_byte);

}  // namespace device
