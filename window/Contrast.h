// Whether a text colour reads on a background, by the contrast ratio of the
// web's accessibility guidelines (WCAG 2): system colours can be anything,
// and a dark high-contrast scheme would put white text on the status box's
// fixed light colours.
#pragma once

#include <windows.h>

#include <initializer_list>

namespace contrast {

// Ordinary text reads at 4.5:1 or more.
inline constexpr double READABLE_RATIO = 4.5;

// Relative luminance, 0 (black) to 1 (white).
double Luminance(COLORREF colour);
// From 1 (the same) to 21 (black on white), whichever colour is lighter.
double Ratio(COLORREF a, COLORREF b);
// The first candidate that reads on the background; when none does, black
// or white, whichever reads better.
COLORREF Readable(COLORREF background, std::initializer_list<COLORREF> candidates);

}  // namespace contrast
