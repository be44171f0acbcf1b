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

Library& library() {
    static Library lib;
    return lib;
}

HMODULE LoadDeviceLibrary() {
    Library& lib = library();
    if (!lib.module) {
        // Keep the current folder out of the search, so a library planted
        // there is never loaded; the program's folder, the system and PATH stay.
        static const bool searchHardened = SetDllDirectoryW(L"") != FALSE;
        (void)searchHardened;
        // A broken library must not stop the program with a system dialog.
        UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
        lib.module.reset(LoadLibraryW(LIBRARY_NAME));
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
