#include "remote/Operations.h"

#include "device/BoxLock.h"
#include "remote/Link.h"

namespace remote {

namespace {

constexpr Outcome BUSY_OUTCOME = {Route::Busy, device::DeviceState::Absent, 0, 0};

Outcome FromAnswer(Route route, const Answer& answer) {
    return {route, static_cast<device::DeviceState>(answer.state), answer.status,
            static_cast<uint8_t>(answer.portByte)};
}

Outcome Probed(uint8_t& port_byte) {
    const device::ProbeResult probe = device::Probe(port_byte);
    return {Route::Here, probe.state, device::IsLibraryProblem(probe.state) ? 0 : probe.status, port_byte};
}

// Through the program; Here when none runs.
Outcome AskProgram(Op op, bool& no_program) {
    Answer answer = {};
    const Asked asked = Ask(op, answer);
    no_program = asked == Asked::NoProgram;
    switch (asked) {
    case Asked::Answered: return FromAnswer(Route::Program, answer);
    case Asked::Unconfirmed: return FromAnswer(Route::Unconfirmed, answer);
    case Asked::Refused: return {Route::Refused, device::DeviceState::Absent, 0, 0};
    case Asked::NoProgram:
    case Asked::Busy: break;
    }
    return BUSY_OUTCOME;
}

}  // namespace

Outcome ProbeHere(unsigned long wait_ms) {
    device::BoxLock lock(wait_ms);
    if (!lock) return BUSY_OUTCOME;
    uint8_t port = 0;
    return Probed(port);
}

Outcome QueryStatus() {
    bool noProgram = false;
    const Outcome outcome = AskProgram(Op::Status, noProgram);
    return noProgram ? ProbeHere() : outcome;
}

Outcome Switch() {
    bool noProgram = false;
    const Outcome outcome = AskProgram(Op::Switch, noProgram);
    if (!noProgram) return outcome;
    // No program: the ten calls from here, none of another process's between them.
    device::BoxLock lock(BOX_WAIT_MS);
    if (!lock) return BUSY_OUTCOME;
    uint8_t port = 0;
    const Outcome probed = Probed(port);
    if (probed.state == device::DeviceState::Present) device::SendSwitchPasses(port);
    return probed;
}

Route AskPrintWatch(uint32_t& health) {
    bool noProgram = false;
    const Outcome outcome = AskProgram(Op::PrintWatch, noProgram);
    health = static_cast<uint32_t>(outcome.status);
    return noProgram ? Route::Here : outcome.route == Route::Unconfirmed ? Route::Program : outcome.route;
}

int ExitCode(const Outcome& outcome) {
    if (outcome.route == Route::Busy) return EXIT_BUSY;
    if (outcome.route == Route::Refused) return EXIT_REFUSED;
    if (outcome.route == Route::Unconfirmed) return EXIT_UNCONFIRMED;
    switch (outcome.state) {
    case device::DeviceState::Present: return 0;
    case device::DeviceState::Absent: return 1;
    case device::DeviceState::LibraryMissing:
    case device::DeviceState::LibraryIncomplete:
    case device::DeviceState::LibraryOtherArchitecture: break;
    }
    return 2;
}

}  // namespace remote
