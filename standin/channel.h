// Control channel of the stand-in AVR309.dll: a named shared-memory block
// through which the panel and the tests play the box and read back every call.
//
// The block's name comes from the environment variable AVR309_STANDIN
// (default "AVR309StandIn"), so tests running side by side each get a box of
// their own. Whoever opens the block first initialises it; it lives as long
// as one handle to it is open.
#pragma once

#include <windows.h>
#include <cstdint>

#include "box.h"  // Op, OP_NAMES, STATUS_*

namespace standin {

inline constexpr uint32_t CALL_LOG_SIZE = 4096;  // a ring; callCount keeps growing
inline constexpr uint32_t SNAPSHOT_CHARS = 64;

struct CallRecord {
    uint32_t op;                          // Op
    uint32_t byteIn;                      // the byte passed (writes) or found at the address (reads)
    uint32_t byteOut;                     // the byte left at the address (reads); equals byteIn for writes
    int32_t status;                       // what the call returned
    uint32_t onBusBefore;                 // whether the box was on the bus when the call came
    wchar_t watchedText[SNAPSHOT_CHARS];  // text of watchWindow during the call, if set
    uint32_t processId;                   // who called: which process, on which thread
    uint32_t threadId;
};

struct Channel {
    // Set once by the first opener.
    volatile LONG initState;  // 0 new, 1 initialising, 2 ready
    uint32_t version;

    // The box. The panel and tests write these; the library reads and updates them.
    volatile LONG onBus;          // 1: the PC's line goes to the box, which answers
    volatile LONG passedThrough;  // 1: the line goes through to the shared peripheral
    volatile LONG direction;      // direction register, low 8 bits
    volatile LONG output;         // output register, low 8 bits
    volatile LONG switchCount;    // times the box has passed the line through
    SwitchSequence sequence;      // the direction writes the box is watching

    // Faults to inject.
    volatile LONG forceStatus;  // 1: every call returns forcedStatus instead of its own
    volatile LONG forcedStatus;
    volatile LONG delayMs;   // every call sleeps this long first
    volatile LONG pumpMs;    // every call handles the caller's messages this long first (not those nested in it)
    volatile LONG failMask;  // bit per Op: the call does nothing and returns failStatus
    volatile LONG failStatus;
    volatile LONG failWritesByte;  // 1: a failing read leaves failByte at the address
    volatile LONG failByte;
    volatile LONG hideMask;         // bit per Op: not exported by a library loaded from now on
    volatile LONG switchOnCommand;  // 1 (default): the switch sequence makes the box leave the bus

    // A window whose text every call copies into its record (0 for none).
    volatile LONG watchWindow;
    // The box leaves the bus as call number N (callCount counts from 1) comes
    // in; 0 for never. For a box unplugged in the middle of a sequence.
    volatile LONG leaveBusAtCall;
    // Calls that have come in and not yet returned.
    volatile LONG callsInProgress;

    // The record of calls.
    volatile LONG callCount;
    CallRecord calls[CALL_LOG_SIZE];
};

inline constexpr uint32_t CHANNEL_VERSION = 3;

inline void channelName(wchar_t* out, DWORD size) {
    DWORD n = GetEnvironmentVariableW(L"AVR309_STANDIN", out, size);
    if (n == 0 || n >= size) lstrcpynW(out, L"AVR309StandIn", static_cast<int>(size));
}

inline void resetBox(Channel* c) {
    c->onBus = 1;
    c->passedThrough = 0;
    c->direction = 0;
    c->output = 0;
    c->switchCount = 0;
    c->sequence = {};
    c->forceStatus = 0;
    c->forcedStatus = 0;
    c->delayMs = 0;
    c->pumpMs = 0;
    c->failMask = 0;
    c->failStatus = STATUS_NOT_PRESENT;
    c->failWritesByte = 0;
    c->failByte = 0;
    c->hideMask = 0;
    c->switchOnCommand = 1;
    c->watchWindow = 0;
    c->leaveBusAtCall = 0;
}

// Opens (creating if needed) the block named by the environment; keeps the
// mapping handle in *mapping. Returns nullptr when it cannot be had.
inline Channel* openChannel(HANDLE* mapping) {
    wchar_t name[128];
    channelName(name, 128);
    HANDLE h = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(Channel), name);
    if (!h) return nullptr;
    auto* c = static_cast<Channel*>(MapViewOfFile(h, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(Channel)));
    if (!c) {
        CloseHandle(h);
        return nullptr;
    }
    if (InterlockedCompareExchange(&c->initState, 1, 0) == 0) {
        c->version = CHANNEL_VERSION;
        resetBox(c);
        c->callCount = 0;
        InterlockedExchange(&c->initState, 2);
    } else {
        while (c->initState != 2) Sleep(1);
    }
    *mapping = h;
    return c;
}

inline void closeChannel(Channel* c, HANDLE mapping) {
    if (c) UnmapViewOfFile(c);
    if (mapping) CloseHandle(mapping);
}

}  // namespace standin
