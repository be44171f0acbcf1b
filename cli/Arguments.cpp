#include "cli/Arguments.h"

#include <cwchar>

namespace cli {

namespace {

bool Is(const wchar_t* argument, const wchar_t* word) { return std::wcscmp(argument, word) == 0; }

// Decimal digits only: no sign, no spaces, no fraction.
bool ReadSeconds(const wchar_t* text, uint32_t& seconds) {
    uint32_t value = 0;
    if (!*text) return false;
    for (; *text; ++text) {
        if (*text < L'0' || *text > L'9') return false;
        value = value * 10 + static_cast<uint32_t>(*text - L'0');
        if (value > MAX_WAIT_SECONDS) return false;
    }
    seconds = value;
    return true;
}

Parsed Fail(const wchar_t* error, const wchar_t* culprit = nullptr) { return {false, {}, error, culprit}; }

}  // namespace

Parsed Parse(int argc, const wchar_t* const* argv) {
    if (argc < 1) return Fail(L"no command");
    Command command;
    const wchar_t* name = argv[0];
    if (Is(name, L"--help") || Is(name, L"-h") || Is(name, L"/?")) {
        command.kind = CommandKind::Help;
    } else if (Is(name, L"--version")) {
        command.kind = CommandKind::Version;
    } else if (Is(name, L"status")) {
        command.kind = CommandKind::Status;
    } else if (Is(name, L"switch")) {
        command.kind = CommandKind::Switch;
    } else if (Is(name, L"watch")) {
        command.kind = CommandKind::Watch;
    } else if (Is(name, L"doctor")) {
        command.kind = CommandKind::Doctor;
    } else {
        return Fail(L"unknown command", name);
    }

    const bool takesJson = command.kind == CommandKind::Status || command.kind == CommandKind::Watch;
    for (int i = 1; i < argc; ++i) {
        const wchar_t* option = argv[i];
        if (takesJson && Is(option, L"--json") && !command.json) {
            command.json = true;
        } else if (command.kind == CommandKind::Switch && Is(option, L"--wait") && !command.wait) {
            if (i + 1 >= argc) return Fail(L"--wait needs a number of seconds");
            if (!ReadSeconds(argv[++i], command.waitSeconds))
                return Fail(L"not a number of seconds (0-86400)", argv[i]);
            command.wait = true;
        } else {
            return Fail(L"unexpected argument", option);
        }
    }
    return {true, command, nullptr, nullptr};
}

}  // namespace cli
