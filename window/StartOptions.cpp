#include "window/StartOptions.h"

#include <windows.h>

namespace startoptions {

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// The program's path, quoted or not, is no option even when it looks like one.
const wchar_t* SkipProgram(const wchar_t* p) {
    if (*p == L'"') {
        for (++p; *p && *p != L'"';) ++p;
        return *p ? p + 1 : p;
    }
    while (*p && !IsBlank(*p)) ++p;
    return p;
}

}  // namespace

StartOptions Parse(const wchar_t* command_line) {
    StartOptions options;
    const wchar_t* p = SkipProgram(command_line ? command_line : L"");
    while (*p) {
        while (IsBlank(*p)) ++p;
        const wchar_t* word = p;
        while (*p && !IsBlank(*p)) ++p;
        const int length = static_cast<int>(p - word);
        if (length && CompareStringOrdinal(word, length, TRAY, -1, TRUE) == CSTR_EQUAL) options.tray = true;
    }
    return options;
}

}  // namespace startoptions
