#include "box.h"

namespace standin {
namespace {

// Bit 0 toggled for good, framed by a pulse on bit 1: three direction writes
// in a row, each starting from the value the one before left behind.
bool isSwitchCommand(const SwitchSequence& s) {
    static constexpr uint8_t toggles[3] = {0x02, 0x01, 0x02};
    if (s.count < 3) return false;
    for (int i = 0; i < 3; ++i) {
        if ((s.before[i] ^ s.written[i]) != toggles[i]) return false;
        if (i > 0 && s.before[i] != s.written[i - 1]) return false;
    }
    return true;
}

void noteDirectionWrite(SwitchSequence& s, uint8_t before, uint8_t written) {
    if (s.count == 3) {
        for (int i = 0; i < 2; ++i) {
            s.before[i] = s.before[i + 1];
            s.written[i] = s.written[i + 1];
        }
        s.count = 2;
    }
    s.before[s.count] = before;
    s.written[s.count] = written;
    ++s.count;
    s.armed = isSwitchCommand(s);
}

}  // namespace

Outcome call(Box& box, const Faults& faults, Op op, uint8_t* address, uint8_t value) {
    const bool read = isRead(op);
    const uint8_t in = read ? (address ? *address : 0) : value;
    Outcome o{STATUS_OK, in, in, box.onBus};

    if (faults.failMask & (1u << op)) {
        if (read && address && faults.failWritesByte) *address = faults.failByte;
        o.status = faults.failStatus;
    } else if (read && !address) {
        o.status = STATUS_BAD_ARGUMENT;
    } else if (!box.onBus) {
        box.sequence = {};  // whatever it had seen is gone with the line
        o.status = STATUS_NOT_PRESENT;
    } else {
        switch (op) {
        case OP_GET_OUT_DATA_PORT: *address = box.output; break;
        case OP_GET_DATA_PORT_DIRECTION: *address = box.direction; break;
        case OP_SET_DATA_PORT_DIRECTION:
            noteDirectionWrite(box.sequence, box.direction, value);
            box.direction = value;
            break;
        case OP_SET_OUT_DATA_PORT:
            box.output = value;
            if (box.sequence.armed) {
                box.sequence = {};
                if (box.switchOnCommand) {
                    box.onBus = false;
                    box.passedThrough = true;
                    ++box.switchCount;
                }
            }
            break;
        default: break;
        }
    }
    if (read && address) o.byteOut = *address;
    if (faults.forceStatus) o.status = faults.forcedStatus;
    return o;
}

}  // namespace standin
