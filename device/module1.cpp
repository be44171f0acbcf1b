#include "device/module1.h"

#include <windows.h>

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

Library loaded;

Library& library() { return loaded; }

bool IsAbsolute(const wchar_t* folder, int length) {
    const auto slash = [](wchar_t c) { return c == L'\\' || c == L'/'; };
    return length > 2 && ((folder[1] == L':' && slash(folder[2])) || (slash(folder[0]) && slash(folder[1])));
}

// The library in one folder of the search, if it is there. A relative folder
// such as "." would bring the current folder back, so only absolute ones count.
HMODULE LoadFromFolder(const wchar_t* folder, int length) {
    constexpr int NAME_LENGTH = sizeof LIBRARY_NAME / sizeof LIBRARY_NAME[0];  // with its NUL
    wchar_t file[MAX_PATH];
    if (!IsAbsolute(folder, length) || length + 1 + NAME_LENGTH > MAX_PATH) return nullptr;
    CopyMemory(file, folder, static_cast<SIZE_T>(length) * sizeof(wchar_t));
    if (file[length - 1] != L'\\' && file[length - 1] != L'/') file[length++] = L'\\';
    CopyMemory(file + length, LIBRARY_NAME, NAME_LENGTH * sizeof(wchar_t));
    if (GetFileAttributesW(file) == INVALID_FILE_ATTRIBUTES) return nullptr;
    // Its own folder is searched for what it needs in turn.
    return LoadLibraryExW(file, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

// The platform's search for a bare name, without the current folder: a
// library planted there must never be loaded. First the program's folder and
// the system folder, then the Windows folder and every absolute folder on PATH.
HMODULE LoadFromSearchPath() {
    HMODULE module = LoadLibraryExW(LIBRARY_NAME, nullptr,
                                    LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module) return module;

    wchar_t windows[MAX_PATH] = {};
    if (GetWindowsDirectoryW(windows, MAX_PATH) && (module = LoadFromFolder(windows, lstrlenW(windows)))) return module;

    const DWORD size = GetEnvironmentVariableW(L"PATH", nullptr, 0);
    if (size == 0) return nullptr;
    auto* path = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, size * sizeof(wchar_t)));
    if (!path) return nullptr;
    DWORD length = GetEnvironmentVariableW(L"PATH", path, size);
    if (length >= size) length = 0;  // PATH grew in between: nothing was copied
    for (DWORD start = 0; start < length && !module;) {
        DWORD end = start;
        while (end < length && path[end] != L';') ++end;
        module = LoadFromFolder(path + start, static_cast<int>(end - start));
        start = end + 1;
    }
    HeapFree(GetProcessHeap(), 0, path);
    return module;
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
