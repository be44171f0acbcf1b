// What a front end other than the window asks of the box. Through the
// running program when there is one, so that one process drives the box and
// its window follows; with the device library in this process only when no
// program runs. Either way one sequence at a time (device::BoxLock).
#pragma once

#include <cstdint>

#include "device/SwitchCommand.h"

namespace remote {

enum class Route {
    Program,     // the running program answered
    Here,        // none runs: the library in this process
    Busy,        // the program did not take the request, or another sequence held the box: nothing was done
    Refused,     // the program takes no request from this process: nothing was done
    Unconfirmed  // the program took a switch, then hung or ended before it said the press was done
};

struct Outcome {
    Route route;
    device::DeviceState state;  // meaningful unless busy
    int32_t status;             // meaningful unless the library cannot be used
    uint8_t portByte;
};

// The longest a front end waits for another process's sequence on the box.
inline constexpr unsigned long BOX_WAIT_MS = 2000;

// One probe.
Outcome QueryStatus();
// One probe with the library in this process, whatever else runs (a probe
// changes nothing on the box), waiting at most wait_ms for the box.
Outcome ProbeHere(unsigned long wait_ms = BOX_WAIT_MS);
// A probe and, when the box is present, the switch command: the button's ten
// calls. The outcome is the probe's, so the command went out exactly when
// the state is Present and the route is not Busy.
Outcome Switch();

// Whether nothing was sent because the program or the box's lock did not let it be.
inline bool NothingDone(const Outcome& outcome) {
    return outcome.route == Route::Busy || outcome.route == Route::Refused;
}

// Exit codes of a probe or a switch: 0 present (sent), 1 absent (nothing
// sent), 2 the library cannot be used, 4 busy (nothing sent), 5 refused
// (nothing sent), 6 taken by the program, its end not confirmed.
inline constexpr int EXIT_BUSY = 4;
inline constexpr int EXIT_REFUSED = 5;
inline constexpr int EXIT_UNCONFIRMED = 6;
int ExitCode(const Outcome& outcome);

// The running program's print switch watch (a printing::Health): Program
// with it, Here when no program runs, else Busy or Refused.
Route AskPrintWatch(uint32_t& health);

}  // namespace remote
