// What the command line asks of Varnosklen.exe. Text it does not know is
// ignored, as it always has been.
#pragma once

#include <windows.h>

struct StartOptions {
    // "/switch": switch as varnosklen-cli does, open no window, end with its exit code.
    bool switchOnly = false;
};

// argv[0] is the program itself.
inline StartOptions ParseStartOptions(int argc, const wchar_t* const* argv) {
    StartOptions options;
    for (int i = 1; i < argc; ++i) {
        if (CompareStringOrdinal(argv[i], -1, L"/switch", -1, TRUE) == CSTR_EQUAL) options.switchOnly = true;
    }
    return options;
}
