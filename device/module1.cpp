#include "device/module1.h"

#include <windows.h>

#include <string>

#include "common/Scoped.h"

namespace module1 {

namespace {

using ReadOp = int32_t(__stdcall*)(uint8_t*);
using WriteOp = int32_t(__stdcall*)(uint8_t);

enum Operation { GET_OUT_DATA_PORT, GET_DATA_PORT_DIRECTION, SET_DATA_PORT_DIRECTION, SET_OUT_DATA_PORT, OPERATION_COUNT };

constexpr const char* OPERATION_NAMES[OPERATION_COUNT] = {
    "DoGetOutDataPort", "DoGetDataPortDirection", "DoSetDataPortDirection", "DoSetOutDataPort"};

struct Library {
    common::ScopedModule module;
    FARPROC operations[OPERATION_COUNT] = {};
};

Library& library() {
    static Library lib;
    return lib;
}

// The platform's search for a bare name, without the current folder: a
// library planted there must never be loaded. First the program's folder and
// the system folder, then the Windows folder and every absolute folder on PATH.
HMODULE LoadFromSearchPath() {
    HMODULE module = LoadLibraryExW(LIBRARY_NAME, nullptr,
                                    LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module) return module;

    std::wstring folders;
    wchar_t windows[MAX_PATH] = {};
    if (GetWindowsDirectoryW(windows, MAX_PATH)) folders = std::wstring(windows) + L";";
    const DWORD length = GetEnvironmentVariableW(L"PATH", nullptr, 0);
    if (length > 0) {
        std::wstring path(length, L'\0');
        path.resize(GetEnvironmentVariableW(L"PATH", path.data(), length));
        folders += path;
    }
    size_t start = 0;
    while (start <= folders.size()) {
        size_t end = folders.find(L';', start);
        if (end == std::wstring::npos) end = folders.size();
        std::wstring folder = folders.substr(start, end - start);
        start = end + 1;
        // A relative entry such as "." would bring the current folder back.
        const bool absolute = folder.size() > 2 && ((folder[1] == L':' && (folder[2] == L'\\' || folder[2] == L'/')) ||
                                                    (folder[0] == L'\\' && folder[1] == L'\\'));
        if (!absolute) continue;
        if (folder.back() != L'\\' && folder.back() != L'/') folder += L'\\';
        const std::wstring file = folder + LIBRARY_NAME;
        if (GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
        // Its own folder is searched for what it needs in turn.
        module = LoadLibraryExW(file.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
        if (module) return module;
    }
    return nullptr;
}

HMODULE LoadDeviceLibrary() {
    Library& lib = library();
    if (!lib.module) {
        // A broken library must not stop the program with a system dialog.
        const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
        lib.module.reset(LoadFromSearchPath());
        SetErrorMode(oldMode);
    }
    return lib.module.get();
}

FARPROC Resolve(Operation op) {
    Library& lib = library();
    if (!lib.operations[op]) {
        HMODULE module = LoadDeviceLibrary();
        if (!module) return nullptr;
        lib.operations[op] = GetProcAddress(module, OPERATION_NAMES[op]);
    }
    return lib.operations[op];
}

std::optional<int32_t> CallRead(Operation op, uint8_t& port_byte) {
    auto fn = reinterpret_cast<ReadOp>(Resolve(op));
    if (!fn) return std::nullopt;
    return fn(&port_byte);
}

std::optional<int32_t> CallWrite(Operation op, uint8_t port_byte) {
    auto fn = reinterpret_cast<WriteOp>(Resolve(op));
    if (!fn) return std::nullopt;
    return fn(port_byte);
}

}  // namespace

LibraryState CheckLibrary() {
    if (!LoadDeviceLibrary()) return LibraryState::LibraryMissing;
    for (int op = 0; op < OPERATION_COUNT; ++op) {
        if (!Resolve(static_cast<Operation>(op))) return LibraryState::OperationMissing;
    }
    return LibraryState::Ready;
}

std::optional<int32_t> DoGetOutDataPort(uint8_t& port_byte) { return CallRead(GET_OUT_DATA_PORT, port_byte); }
std::optional<int32_t> DoGetDataPortDirection(uint8_t& port_byte) { return CallRead(GET_DATA_PORT_DIRECTION, port_byte); }
std::optional<int32_t> DoSetDataPortDirection(uint8_t port_byte) { return CallWrite(SET_DATA_PORT_DIRECTION, port_byte); }
std::optional<int32_t> DoSetOutDataPort(uint8_t port_byte) { return CallWrite(SET_OUT_DATA_PORT, port_byte); }

}  // namespace module1
