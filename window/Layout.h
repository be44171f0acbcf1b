// Where the window's controls go: lengths in twips turned into pixels at the
// window's DPI, the font, and controls grown to show their texts whole.
#pragma once

#include <windows.h>

namespace layout {

struct Twips {
    int left, top, width, height;
};

// The client area: the stored width, and a height that shows the credits
// frame whole with the same margin below it as on its sides.
inline constexpr int CLIENT_WIDTH_TWIPS = 3795;
inline constexpr int CLIENT_HEIGHT_TWIPS = 3255;

// The controls the layout places; the frame holds the two credit labels.
struct Controls {
    HWND Frame1, Label2, Label1, Text1, Command1, Label3;
};

int TwipsToPixels(int twips, int dpi);

// The window's DPI: its monitor's where the system tells (per-monitor
// awareness), else the system's.
int DpiOfWindow(HWND window);
int SystemDpi();
// Gives a window the client area asked for, its top-left corner at `at`, or
// centred in the work area of its monitor when `at` is null. A move onto a
// monitor of another scale on the way is left as the window's own handling
// of it made it.
void PlaceWindow(HWND window, const POINT* at, SIZE client, int dpi);
int SmallIconSize(int dpi);
int BigIconSize(int dpi);

// The default GUI font's face at 8 points for the DPI.
HFONT CreateGuiFont(int dpi);

// Puts every control where it belongs at the DPI, in the font, growing a
// control only where its text would be cut. The status box must hold every
// text of longest_texts. Returns the client height the controls need.
int LayOut(const Controls& controls, HFONT font, int dpi, const wchar_t* const* longest_texts, int text_count);

}  // namespace layout
