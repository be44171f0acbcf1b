// varnosklen-cli's command line, read without touching anything: bad input
// is found before the box is.
#pragma once

#include <cstdint>

namespace cli {

enum class CommandKind { Help, Version, Status, Switch, Watch, Doctor };

inline constexpr uint32_t MAX_WAIT_SECONDS = 86400;

struct Command {
    CommandKind kind = CommandKind::Help;
    bool json = false;         // status, watch
    bool wait = false;         // switch
    uint32_t waitSeconds = 0;  // 0 to MAX_WAIT_SECONDS
};

struct Parsed {
    bool ok;
    Command command;
    const wchar_t* error;    // what is wrong, when not ok
    const wchar_t* culprit;  // the argument at fault, or null
};

// The arguments after the program's name.
Parsed Parse(int argc, const wchar_t* const* argv);

}  // namespace cli
