#include "window/Contrast.h"

#include <cmath>

namespace contrast {

namespace {

constexpr COLORREF BLACK = RGB(0, 0, 0);
constexpr COLORREF WHITE = RGB(255, 255, 255);

double Linear(BYTE channel) {
    const double c = channel / 255.0;
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

}  // namespace

double Luminance(COLORREF colour) {
    return 0.2126 * Linear(GetRValue(colour)) + 0.7152 * Linear(GetGValue(colour)) + 0.0722 * Linear(GetBValue(colour));
}

double Ratio(COLORREF a, COLORREF b) {
    const double la = Luminance(a), lb = Luminance(b);
    return la > lb ? (la + 0.05) / (lb + 0.05) : (lb + 0.05) / (la + 0.05);
}

COLORREF Readable(COLORREF background, std::initializer_list<COLORREF> candidates) {
    for (const COLORREF candidate : candidates) {
        if (Ratio(candidate, background) >= READABLE_RATIO) return candidate;
    }
    return Ratio(BLACK, background) >= Ratio(WHITE, background) ? BLACK : WHITE;
}

}  // namespace contrast
