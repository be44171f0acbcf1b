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
        const auto is = [&](const wchar_t* option) {
            return length && CompareStringOrdinal(word, length, option, -1, TRUE) == CSTR_EQUAL;
        };
        options.tray = options.tray || is(TRAY);
        options.switchOnly = options.switchOnly || is(SWITCH);
    }
    return options;
}

}  // namespace startoptions
