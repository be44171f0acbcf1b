// Where the device library may come from: the platform's search for a bare
// name, without the current folder, where a planted library must never be
// loaded from.
#pragma once

#include <windows.h>

namespace device {

// The program's folder and the system folder first, then the Windows folder
// and every absolute folder on PATH. Null when the library is in none.
HMODULE LoadFromSearchPath(const wchar_t* name);

// When to look for a missing library again. A search walks every folder on
// PATH (milliseconds with a long PATH, far longer on an unreachable network
// share), too dear for every tick: it is made at most every RETRY_MS, and at
// once when asked to, as after the system has seen a device come or go.
class SearchSchedule {
public:
    static constexpr ULONGLONG RETRY_MS = 2000;

    // Whether to search at this time; if so, the search counts as made.
    bool Due(ULONGLONG now_ms) {
        if (searched_ && !soon_ && now_ms - last_ < RETRY_MS) return false;
        searched_ = true;
        soon_ = false;
        last_ = now_ms;
        return true;
    }
    void SearchSoon() { soon_ = true; }

private:
    bool searched_ = false;
    bool soon_ = false;
    ULONGLONG last_ = 0;
};

}  // namespace device
