// The box behind the stand-in AVR309.dll, free of Windows so it can be
// tested on its own. The library keeps this state in the shared channel.
#pragma once

#include <cstdint>

namespace standin {

// The four operations the program uses, as bit numbers for the fault masks.
enum Op : uint32_t {
    OP_GET_OUT_DATA_PORT = 0,        // DoGetOutDataPort
    OP_GET_DATA_PORT_DIRECTION = 1,  // DoGetDataPortDirection
    OP_SET_DATA_PORT_DIRECTION = 2,  // DoSetDataPortDirection
    OP_SET_OUT_DATA_PORT = 3,        // DoSetOutDataPort
    OP_COUNT = 4
};

inline constexpr const char* OP_NAMES[OP_COUNT] = {"DoGetOutDataPort", "DoGetDataPortDirection",
                                                   "DoSetDataPortDirection", "DoSetOutDataPort"};

inline constexpr int32_t STATUS_OK = 0;
inline constexpr int32_t STATUS_NOT_PRESENT = 1;
inline constexpr int32_t STATUS_BAD_ARGUMENT = 2;  // a read given no address

// The last direction writes, oldest first, each with the register's value
// before it. Armed when they form the switch command; the next output write
// then passes the line through.
struct SwitchSequence {
    uint8_t before[3];
    uint8_t written[3];
    uint8_t count;
    uint8_t armed;
};

struct Box {
    bool onBus = true;
    bool passedThrough = false;
    bool switchOnCommand = true;
    uint8_t direction = 0;
    uint8_t output = 0;
    uint32_t switchCount = 0;
    SwitchSequence sequence{};
};

struct Faults {
    bool forceStatus = false;
    int32_t forcedStatus = 0;
    uint32_t failMask = 0;  // bit per Op
    int32_t failStatus = STATUS_NOT_PRESENT;
    bool failWritesByte = false;
    uint8_t failByte = 0;
};

struct Outcome {
    int32_t status;
    uint8_t byteIn;   // the byte passed, or found at the address
    uint8_t byteOut;  // the byte left at the address; byteIn for writes
    bool onBusBefore;
};

// One call into the box. Reads use address (which may be null), writes value.
Outcome call(Box& box, const Faults& faults, Op op, uint8_t* address, uint8_t value);

inline bool isRead(Op op) { return op == OP_GET_OUT_DATA_PORT || op == OP_GET_DATA_PORT_DIRECTION; }

}  // namespace standin
