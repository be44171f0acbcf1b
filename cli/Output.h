// What varnosklen-cli prints: words a script can test, one JSON object a
// program can parse, and local times in ISO 8601.
#pragma once

#include <windows.h>

#include "remote/Operations.h"

namespace cli {

inline constexpr int EXIT_NOT_WITHIN_TIME = 3;
inline constexpr int EXIT_USAGE = 64;
// Ended by Ctrl+C or Ctrl+Break while waiting (never inside a sequence).
inline constexpr int EXIT_INTERRUPTED = 130;

// A line of output, without its line break; what does not fit is cut.
// (No wsprintf: the command line does without user32.)
struct Line {
    wchar_t text[512] = {};
    int length = 0;

    Line& operator<<(const wchar_t* more);
    Line& operator<<(long long number);
    Line& Digits(unsigned number, int width);  // zero-padded to width
};

// A library of the other width than this program's.
inline constexpr const wchar_t* OTHER_ARCHITECTURE_WORD = sizeof(void*) == 4 ? L"library-64-bit" : L"library-32-bit";

// present, absent, library-missing, library-incomplete, library-64-bit; busy,
// refused; unconfirmed.
const wchar_t* StateWord(const remote::Outcome& outcome);

// {"state": "present", "status": 0, "port": 0}; status and port are null when
// the library cannot be used or the program was busy or refused. With a time, it comes
// first as "time".
Line Json(const remote::Outcome& outcome, const wchar_t* time = nullptr);

// 2026-12-07T18:34:57.123+02:00
Line IsoTime(const SYSTEMTIME& local, int utc_offset_minutes);

}  // namespace cli
