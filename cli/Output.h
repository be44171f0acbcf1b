// What varnosklen-cli prints: words a script can test, one JSON object a
// program can parse, and local times in ISO 8601.
#pragma once

#include <windows.h>

#include "remote/Operations.h"

namespace cli {

inline constexpr int EXIT_NOT_WITHIN_TIME = 3;
inline constexpr int EXIT_USAGE = 64;

// A line of output, without its line break.
struct Line {
    wchar_t text[192];
};

// present, absent, library-missing, library-incomplete.
const wchar_t* StateWord(device::DeviceState state);

// {"state": "present", "status": 0, "port": 0}; status and port are null when
// the library cannot be used. With a time, it comes first as "time".
Line Json(const remote::Outcome& outcome, const wchar_t* time = nullptr);

// 2026-12-07T18:34:57.123+02:00
Line IsoTime(const SYSTEMTIME& local, int utc_offset_minutes);

}  // namespace cli
