// What the tray hook needs of the window it serves, and no more.
#pragma once

#include <windows.h>

#include <cstdint>

namespace tray {

class TrayHost {
public:
    virtual HWND TrayWindowHandle() const = 0;
    virtual HICON TrayIconHandle() const = 0;
    // 0: the window is shown; 1: hidden or minimised.
    virtual void SetTrayMenuItems(int16_t& window_state) = 0;
    // The window state that a left click restores a minimised window to.
    virtual int16_t ReadLastState() const = 0;

protected:
    ~TrayHost() = default;
};

}  // namespace tray
