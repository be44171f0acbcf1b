// The box behind the stand-in AVR309.dll: the switch command, off the bus, faults.
#include <gtest/gtest.h>

#include <vector>

#include "standin/box.h"

using namespace standin;

namespace {

struct BoxTest : ::testing::Test {
    Box box;
    Faults faults;
    std::vector<int32_t> statuses;

    uint8_t read(Op op, uint8_t start = 0xEE) {
        uint8_t b = start;
        statuses.push_back(call(box, faults, op, &b, 0).status);
        return b;
    }
    void write(Op op, uint8_t v) { statuses.push_back(call(box, faults, op, nullptr, v).status); }

    // One pass as the program sends it: read direction, flip, write both registers.
    void pass(uint8_t mask) {
        const uint8_t d = read(OP_GET_DATA_PORT_DIRECTION) ^ mask;
        write(OP_SET_DATA_PORT_DIRECTION, d);
        write(OP_SET_OUT_DATA_PORT, d);
    }
    void switchCommand() {
        for (uint8_t mask : {0x02, 0x01, 0x02}) pass(mask);
    }
    bool allOk() const {
        for (int32_t s : statuses)
            if (s != STATUS_OK) return false;
        return true;
    }
};

struct SwitchFrom : BoxTest, ::testing::WithParamInterface<uint8_t> {};

TEST_P(SwitchFrom, PassesTheLineThroughAfterTheLastOutputWrite) {
    box.direction = GetParam();
    pass(0x02);
    pass(0x01);
    const uint8_t d = read(OP_GET_DATA_PORT_DIRECTION) ^ 0x02;
    write(OP_SET_DATA_PORT_DIRECTION, d);
    EXPECT_TRUE(box.onBus) << "still on the bus until the output write";
    write(OP_SET_OUT_DATA_PORT, d);

    EXPECT_EQ(statuses.size(), 9u);
    EXPECT_TRUE(allOk());
    EXPECT_FALSE(box.onBus);
    EXPECT_TRUE(box.passedThrough);
    EXPECT_EQ(box.switchCount, 1u);
    EXPECT_EQ(box.direction, GetParam() ^ 0x01);
    EXPECT_EQ(box.output, GetParam() ^ 0x01);
}

INSTANTIATE_TEST_SUITE_P(Directions, SwitchFrom, ::testing::Values(0x00, 0x01, 0xF4));

TEST_F(BoxTest, TriggersAgainOnceBackOnTheBus) {
    switchCommand();
    EXPECT_EQ(read(OP_GET_OUT_DATA_PORT), 0xEE);  // off the bus now: nothing answers
    box.onBus = true;
    box.passedThrough = false;
    switchCommand();
    EXPECT_FALSE(box.onBus);
    EXPECT_EQ(box.switchCount, 2u);
}

TEST_F(BoxTest, PartialSequenceDoesNotTrigger) {
    pass(0x02);
    pass(0x01);
    write(OP_SET_OUT_DATA_PORT, 0x03);
    EXPECT_TRUE(box.onBus);
    EXPECT_EQ(box.switchCount, 0u);
}

TEST_F(BoxTest, OtherSequencesDoNotTrigger) {
    for (auto masks : {std::vector<uint8_t>{0x01, 0x02, 0x01},
                       {0x02, 0x02, 0x01},
                       {0x02, 0x03, 0x02},
                       {0x02, 0x01, 0x03},
                       {0x06, 0x01, 0x06}}) {
        box = Box{};
        for (uint8_t m : masks) pass(m);
        EXPECT_TRUE(box.onBus);
        EXPECT_EQ(box.switchCount, 0u);
    }
}

TEST_F(BoxTest, InterruptedSequenceDoesNotTrigger) {
    pass(0x02);
    write(OP_SET_DATA_PORT_DIRECTION, box.direction);  // a stray direction write between passes
    pass(0x01);
    pass(0x02);
    EXPECT_TRUE(box.onBus);
}

TEST_F(BoxTest, RegisterChangedBehindItsBackDoesNotTrigger) {
    pass(0x02);
    pass(0x01);
    box.direction ^= 0x80;
    pass(0x02);
    EXPECT_TRUE(box.onBus);
}

TEST_F(BoxTest, SequenceAfterNoiseStillTriggers) {
    pass(0x02);
    pass(0x02);
    pass(0x01);
    switchCommand();
    EXPECT_FALSE(box.onBus);
    EXPECT_EQ(box.switchCount, 1u);
}

TEST_F(BoxTest, StaysWhenSwitchingIsOff) {
    box.switchOnCommand = false;
    switchCommand();
    EXPECT_TRUE(box.onBus);
    EXPECT_FALSE(box.passedThrough);
    EXPECT_EQ(box.switchCount, 0u);
}

TEST_F(BoxTest, RegistersReadBack) {
    write(OP_SET_DATA_PORT_DIRECTION, 0x5A);
    write(OP_SET_OUT_DATA_PORT, 0xA5);
    EXPECT_EQ(read(OP_GET_DATA_PORT_DIRECTION), 0x5A);
    EXPECT_EQ(read(OP_GET_OUT_DATA_PORT), 0xA5);
    EXPECT_TRUE(allOk());
}

TEST_F(BoxTest, OffTheBusNothingAnswersOrChanges) {
    box.onBus = false;
    box.direction = 0x11;
    box.output = 0x22;
    EXPECT_EQ(read(OP_GET_OUT_DATA_PORT, 0x77), 0x77);
    EXPECT_EQ(read(OP_GET_DATA_PORT_DIRECTION, 0x78), 0x78);
    write(OP_SET_DATA_PORT_DIRECTION, 0x33);
    write(OP_SET_OUT_DATA_PORT, 0x44);
    EXPECT_EQ(statuses, std::vector<int32_t>(4, STATUS_NOT_PRESENT));
    EXPECT_EQ(box.direction, 0x11);
    EXPECT_EQ(box.output, 0x22);
}

TEST_F(BoxTest, ReadWithoutAddressIsAnArgumentError) {
    for (bool onBus : {true, false}) {
        box.onBus = onBus;
        EXPECT_EQ(call(box, faults, OP_GET_OUT_DATA_PORT, nullptr, 0).status, STATUS_BAD_ARGUMENT);
        EXPECT_EQ(call(box, faults, OP_GET_DATA_PORT_DIRECTION, nullptr, 0).status, STATUS_BAD_ARGUMENT);
    }
}

TEST_F(BoxTest, ForcedStatusKeepsTheEffect) {
    faults.forceStatus = true;
    faults.forcedStatus = 7;
    write(OP_SET_OUT_DATA_PORT, 0x42);
    EXPECT_EQ(read(OP_GET_OUT_DATA_PORT), 0x42);
    EXPECT_EQ(statuses, (std::vector<int32_t>{7, 7}));
}

TEST_F(BoxTest, ForcedStatusStillLetsTheBoxSwitch) {
    faults.forceStatus = true;
    faults.forcedStatus = 1;
    switchCommand();
    EXPECT_TRUE(box.passedThrough);
}

TEST_F(BoxTest, FailingOperationDoesNothing) {
    box.output = 0x10;
    faults.failMask = 1u << OP_SET_OUT_DATA_PORT | 1u << OP_GET_OUT_DATA_PORT;
    faults.failStatus = 5;
    write(OP_SET_OUT_DATA_PORT, 0x99);
    EXPECT_EQ(read(OP_GET_OUT_DATA_PORT, 0x33), 0x33);
    faults.failWritesByte = true;
    faults.failByte = 0xAB;
    EXPECT_EQ(read(OP_GET_OUT_DATA_PORT, 0x33), 0xAB);
    EXPECT_EQ(box.output, 0x10);
    EXPECT_EQ(statuses, std::vector<int32_t>(3, 5));
    write(OP_SET_DATA_PORT_DIRECTION, 0x01);  // other operations unaffected
    EXPECT_EQ(statuses.back(), STATUS_OK);
}

TEST_F(BoxTest, FailedDirectionWriteIsNotSeen) {
    faults.failMask = 1u << OP_SET_DATA_PORT_DIRECTION;
    switchCommand();
    EXPECT_TRUE(box.onBus);
    EXPECT_EQ(box.direction, 0x00);
}

TEST_F(BoxTest, OutcomeReportsBytes) {
    box.direction = 0x3C;
    uint8_t b = 0x11;
    Outcome o = call(box, faults, OP_GET_DATA_PORT_DIRECTION, &b, 0);
    EXPECT_EQ(o.byteIn, 0x11);
    EXPECT_EQ(o.byteOut, 0x3C);
    EXPECT_TRUE(o.onBusBefore);
    o = call(box, faults, OP_SET_OUT_DATA_PORT, nullptr, 0x5D);
    EXPECT_EQ(o.byteIn, 0x5D);
    EXPECT_EQ(o.byteOut, 0x5D);
}

}  // namespace
