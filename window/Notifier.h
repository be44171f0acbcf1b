// What the tray has to tell a user whose window is hidden: the box's state
// once it has settled, when it is not the state at start and not the user's
// own switch from this PC.
#pragma once

#include <windows.h>

#include <optional>

#include "device/SwitchCommand.h"

struct Notice {
    const wchar_t* text;
    bool warning;  // the box can no longer be seen or switched
};

class Notifier {
public:
    // A state counts once the polls have seen it this long unchanged: a box
    // going on and off the bus gives one notice when it stops, not a stream.
    static constexpr ULONGLONG SETTLE_MS = 1500;

    // Each poll's state, at its time. A notice when a state has settled that
    // differs from the one settled before it.
    std::optional<Notice> Observe(device::DeviceState state, ULONGLONG now_ms);
    // The user switched from this PC: the change that follows is their own.
    // A switch that changes nothing is forgotten once the state has stayed
    // as it was for the settling time.
    void OwnSwitch(ULONGLONG now_ms) { ownSwitch_ = now_ms; }
    // Nothing is waiting to settle.
    bool Settled() const { return settled_ && *settled_ == seen_; }

private:
    // The library's two faults look the same to the user: either ends the switch.
    enum class Kind { Present, Absent, LibraryProblem };
    static Kind KindOf(device::DeviceState state);

    std::optional<Kind> settled_;  // none before the state at start settles
    Kind seen_ = Kind::Present;
    device::DeviceState seenState_ = device::DeviceState::Present;
    ULONGLONG seenSince_ = 0;
    bool seenAny_ = false;
    std::optional<ULONGLONG> ownSwitch_;
};
