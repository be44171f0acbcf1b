#include "device/module1.h"

#include <windows.h>

#include "common/Scoped.h"
#include "device/LibrarySearch.h"

namespace module1 {

namespace {

using ReadOp = int32_t(__stdcall*)(uint8_t*);
using WriteOp = int32_t(__stdcall*)(uint8_t);

common::ScopedModule library;
device::SearchSchedule schedule;
FARPROC operations[OPERATION_COUNT] = {};
LibraryState lastSearch = LibraryState::LibraryMissing;
wchar_t foundFile[MAX_PATH] = {};

int32_t CallRead(Operation op, uint8_t& port_byte) {
    const auto fn = reinterpret_cast<ReadOp>(operations[op]);
    return fn ? fn(&port_byte) : DEVICE_NOT_PRESENT;
}

int32_t CallWrite(Operation op, uint8_t port_byte) {
    const auto fn = reinterpret_cast<WriteOp>(operations[op]);
    return fn ? fn(port_byte) : DEVICE_NOT_PRESENT;
}

LibraryState Search() {
    // A broken library must not stop the program with a system dialog; the
    // mode is this thread's, never another thread's in the meantime.
    DWORD oldMode = 0;
    const bool modeSet = SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &oldMode);
    const device::Found found = device::LoadFromSearchPath(LIBRARY_NAME);
    if (modeSet) SetThreadErrorMode(oldMode, nullptr);
    lstrcpynW(foundFile, found.file, MAX_PATH);
    if (!found.module) return found.otherArchitecture ? LibraryState::OtherArchitecture : LibraryState::LibraryMissing;
    library.reset(found.module);
    // All four are looked up before any is called, so an incomplete library
    // is reported rather than half-running the switch command.
    bool complete = true;
    for (int op = 0; op < OPERATION_COUNT; ++op) {
        operations[op] = GetProcAddress(library.get(), OPERATION_NAMES[op]);
        complete = complete && operations[op];
    }
    if (complete) return LibraryState::Ready;
    for (FARPROC& op : operations) op = nullptr;
    library.reset();
    return LibraryState::OperationMissing;
}

}  // namespace

LibraryState CheckLibrary() {
    if (library) return LibraryState::Ready;
    if (schedule.Due(GetTickCount64())) lastSearch = Search();
    return lastSearch;
}

void SearchAgainSoon() { schedule.SearchSoon(); }

const wchar_t* LibraryFile() { return foundFile; }

int32_t DoGetOutDataPort(uint8_t& port_byte) { return CallRead(GET_OUT_DATA_PORT, port_byte); }
int32_t DoGetDataPortDirection(uint8_t& port_byte) { return CallRead(GET_DATA_PORT_DIRECTION, port_byte); }
int32_t DoSetDataPortDirection(uint8_t port_byte) { return CallWrite(SET_DATA_PORT_DIRECTION, port_byte); }
int32_t DoSetOutDataPort(uint8_t port_byte) { return CallWrite(SET_OUT_DATA_PORT, port_byte); }

}  // namespace module1
