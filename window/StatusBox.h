// The status box Text1: what it says, on which colour, and what the button
// does with it, for each state of the device.
#pragma once

#include <windows.h>

#include "common/Scoped.h"
#include "device/SwitchCommand.h"

enum class ButtonChange { Enable, Disable, Keep };
// The state on the tray icon: none before the first probe.
enum class TrayBadge { None, Present, Absent, LibraryProblem, Count };

struct StatusView {
    const wchar_t* text;
    COLORREF colour;
    ButtonChange button;
    TrayBadge badge;
};

// The poll's long texts; the button and the badge follow the box.
StatusView PollView(device::DeviceState state);
// A press's short texts; the button is left as it is. A library that cannot
// be used reads as it does for the poll.
StatusView PressView(device::DeviceState state);
// A press another program kept from the box: the button and the badge stay.
StatusView NotMadeView(TrayBadge badge);

class StatusBox {
public:
    // Tab and Enter pass over the read-only box as in the rest of the window.
    void Attach(HWND box);
    // Only real changes reach the control, so a steady device causes no repaint.
    void SetText(const wchar_t* text);
    void SetBackColor(COLORREF colour);
    // The answer to the box's WM_CTLCOLOR* message.
    HBRUSH Paint(HDC dc) const;

private:
    HWND box_ = nullptr;
    const wchar_t* text_ = nullptr;
    COLORREF colour_ = 0;
    common::ScopedBrush brush_;
};
