// What a front end other than the window asks of the box. Through the
// running program when it answers, so that one process drives the box and
// its window follows; otherwise with the device library in this process.
#pragma once

#include <cstdint>

#include "device/SwitchCommand.h"

namespace remote {

struct Outcome {
    device::DeviceState state;
    int32_t status;  // meaningful unless the library cannot be used
    uint8_t portByte;
    bool throughProgram;
};

// One probe.
Outcome QueryStatus();
// One probe with the library in this process, whatever else runs: a probe
// changes nothing on the box.
Outcome ProbeHere();
// A probe and, when the box is present, the switch command: the button's ten
// calls. The outcome is the probe's, so the command went out exactly when
// the state is Present.
Outcome Switch();

// Exit codes of a probe or a switch: 0 present (sent), 1 absent (nothing
// sent), 2 the library cannot be used.
int ExitCode(device::DeviceState state);

}  // namespace remote
