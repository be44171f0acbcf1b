#include "remote/Operations.h"

#include "remote/Link.h"

namespace remote {

namespace {

bool AskProgram(Op op, Outcome& outcome) {
    Reply reply;
    if (!Ask(op, reply)) return false;
    outcome = {static_cast<device::DeviceState>(reply.state), reply.status, static_cast<uint8_t>(reply.portByte), true};
    return true;
}

Outcome ProbeHere(uint8_t& port_byte) {
    const device::ProbeResult probe = device::Probe(port_byte);
    return {probe.state, device::IsLibraryProblem(probe.state) ? 0 : probe.status, port_byte, false};
}

}  // namespace

Outcome ProbeHere() {
    uint8_t port = 0;
    return ProbeHere(port);
}

Outcome QueryStatus() {
    Outcome outcome;
    if (AskProgram(Op::Status, outcome)) return outcome;
    return ProbeHere();
}

Outcome Switch() {
    Outcome outcome;
    if (AskProgram(Op::Switch, outcome)) return outcome;
    uint8_t port = 0;
    outcome = ProbeHere(port);
    if (outcome.state == device::DeviceState::Present) device::SendSwitchPasses(port);
    return outcome;
}

int ExitCode(device::DeviceState state) {
    switch (state) {
    case device::DeviceState::Present: return 0;
    case device::DeviceState::Absent: return 1;
    case device::DeviceState::LibraryMissing:
    case device::DeviceState::LibraryIncomplete: break;
    }
    return 2;
}

}  // namespace remote
