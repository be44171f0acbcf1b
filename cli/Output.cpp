#include "cli/Output.h"

namespace cli {

const wchar_t* StateWord(device::DeviceState state) {
    switch (state) {
    case device::DeviceState::Present: return L"present";
    case device::DeviceState::Absent: return L"absent";
    case device::DeviceState::LibraryMissing: return L"library-missing";
    case device::DeviceState::LibraryIncomplete: return L"library-incomplete";
    }
    return L"";
}

Line Json(const remote::Outcome& outcome, const wchar_t* time) {
    Line line = {};
    wchar_t timeField[64] = {};
    if (time) wsprintfW(timeField, L"\"time\": \"%s\", ", time);
    const wchar_t* state = StateWord(outcome.state);
    if (device::IsLibraryProblem(outcome.state)) {
        wsprintfW(line.text, L"{%s\"state\": \"%s\", \"status\": null, \"port\": null}", timeField, state);
    } else {
        wsprintfW(line.text, L"{%s\"state\": \"%s\", \"status\": %d, \"port\": %u}", timeField, state,
                  static_cast<int>(outcome.status), static_cast<unsigned>(outcome.portByte));
    }
    return line;
}

Line IsoTime(const SYSTEMTIME& local, int utc_offset_minutes) {
    Line line = {};
    const int offset = utc_offset_minutes < 0 ? -utc_offset_minutes : utc_offset_minutes;
    wsprintfW(line.text, L"%04u-%02u-%02uT%02u:%02u:%02u.%03u%c%02d:%02d", local.wYear, local.wMonth, local.wDay,
              local.wHour, local.wMinute, local.wSecond, local.wMilliseconds, utc_offset_minutes < 0 ? L'-' : L'+',
              offset / 60, offset % 60);
    return line;
}

}  // namespace cli
