#include "device/module1.h"

#include <windows.h>

#include "common/Scoped.h"
#include "device/LibrarySearch.h"

namespace module1 {

namespace {

using ReadOp = int32_t(__stdcall*)(uint8_t*);
using WriteOp = int32_t(__stdcall*)(uint8_t);

enum Operation {
    GET_OUT_DATA_PORT,
    GET_DATA_PORT_DIRECTION,
    SET_DATA_PORT_DIRECTION,
    SET_OUT_DATA_PORT,
    OPERATION_COUNT
};

constexpr const char* OPERATION_NAMES[OPERATION_COUNT] = {"DoGetOutDataPort", "DoGetDataPortDirection",
                                                          "DoSetDataPortDirection", "DoSetOutDataPort"};

common::ScopedModule library;
device::SearchSchedule schedule;
FARPROC operations[OPERATION_COUNT] = {};

int32_t CallRead(Operation op, uint8_t& port_byte) {
    const auto fn = reinterpret_cast<ReadOp>(operations[op]);
    return fn ? fn(&port_byte) : DEVICE_NOT_PRESENT;
}

int32_t CallWrite(Operation op, uint8_t port_byte) {
    const auto fn = reinterpret_cast<WriteOp>(operations[op]);
    return fn ? fn(port_byte) : DEVICE_NOT_PRESENT;
}

}  // namespace

LibraryState CheckLibrary() {
    if (!library) {
        if (!schedule.Due(GetTickCount64())) return LibraryState::LibraryMissing;
        // A broken library must not stop the program with a system dialog.
        const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
        library.reset(device::LoadFromSearchPath(LIBRARY_NAME));
        SetErrorMode(oldMode);
        if (!library) return LibraryState::LibraryMissing;
    }
    // All four are looked up before any is called, so an incomplete library
    // is reported rather than half-running the switch command.
    bool complete = true;
    for (int op = 0; op < OPERATION_COUNT; ++op) {
        if (!operations[op]) operations[op] = GetProcAddress(library.get(), OPERATION_NAMES[op]);
        complete = complete && operations[op];
    }
    return complete ? LibraryState::Ready : LibraryState::OperationMissing;
}

void SearchAgainSoon() { schedule.SearchSoon(); }

int32_t DoGetOutDataPort(uint8_t& port_byte) { return CallRead(GET_OUT_DATA_PORT, port_byte); }
int32_t DoGetDataPortDirection(uint8_t& port_byte) { return CallRead(GET_DATA_PORT_DIRECTION, port_byte); }
int32_t DoSetDataPortDirection(uint8_t port_byte) { return CallWrite(SET_DATA_PORT_DIRECTION, port_byte); }
int32_t DoSetOutDataPort(uint8_t port_byte) { return CallWrite(SET_OUT_DATA_PORT, port_byte); }

}  // namespace module1
