// Faults from the device library, the shell and the user, in process.
#include "FormFixture.h"
#include "tray/APIStuff.h"

namespace {

using ReliabilityTest = FormFixture;

TEST_F(ReliabilityTest, ALibraryWhoseEveryCallFailsIsShownByTheStatusItReturns) {
    box->failMask = 0xF;
    box->failStatus = 1;
    form->Timer1_Timer();
    EXPECT_EQ(StatusText(), texts::ABSENT);
    EXPECT_FALSE(ButtonEnabled());

    box->failStatus = -1;  // an error code other than "not present" counts as present
    form->Timer1_Timer();
    EXPECT_EQ(StatusText(), texts::PRESENT);
    const LONG mark = box.Mark();
    form->Command1_Click();
    EXPECT_EQ(box.CallsSince(mark).size(), 10u);
    EXPECT_EQ(box->switchCount, 0);
}

TEST_F(ReliabilityTest, ABoxFlappingOnEveryTickIsFollowedTickForTick) {
    const long handles = common::LiveHandles();
    for (int tick = 0; tick < 600; ++tick) {  // a minute of ticks
        const bool present = tick % 2 == 0;
        box->onBus = present;
        form->Timer1_Timer();
        ASSERT_EQ(StatusText(), present ? texts::PRESENT : texts::ABSENT) << tick;
        ASSERT_EQ(StatusColour(), present ? colours::PRESENT : colours::ABSENT) << tick;
        ASSERT_EQ(ButtonEnabled(), present) << tick;
    }
    EXPECT_EQ(common::LiveHandles(), handles);
}

TEST_F(ReliabilityTest, ABoxLeavingTheBusInTheMiddleOfTheSequenceGetsAllTenCalls) {
    form->Timer1_Timer();
    const LONG mark = box.Mark();
    box->leaveBusAtCall = mark + 5;  // gone from the second pass's direction write on
    form->Command1_Click();
    const auto calls = box.CallsSince(mark);
    ASSERT_EQ(calls.size(), 10u);
    for (size_t i = 0; i < calls.size(); ++i) EXPECT_EQ(calls[i].status, i < 4 ? 0 : 1) << i;
    EXPECT_EQ(box->switchCount, 0);
    form->Timer1_Timer();
    EXPECT_EQ(StatusText(), texts::ABSENT);
}

TEST_F(ReliabilityTest, SlowCallsHoldTheWindowOnlyWhileTheyLast) {
    for (LONG delay : {50, 500}) {
        SCOPED_TRACE(delay);
        box.Reset();
        box->delayMs = delay;
        form->Timer1_Timer();
        EXPECT_EQ(StatusText(), texts::PRESENT);
        form->Command1_Click();  // ten slow calls in a row
        EXPECT_EQ(box->switchCount, 1);
        box->delayMs = 0;
        const LONG mark = box.Mark();
        ASSERT_TRUE(support::WaitFor([&] { return box.Mark() - mark >= 3; })) << "the poll goes on";
        EXPECT_EQ(StatusText(), texts::ABSENT);
    }
}

// A shell with no notification area.
BOOL WINAPI RefuseIcon(DWORD, NOTIFYICONDATAA*) { return FALSE; }

class NoTrayTest : public FormFixture {
protected:
    void SetUp() override {
        APIStuff::ShellNotifyIcon = &RefuseIcon;
        FormFixture::SetUp();
    }
    void TearDown() override {
        FormFixture::TearDown();
        APIStuff::ShellNotifyIcon = &Shell_NotifyIconA;
    }
};

TEST_F(NoTrayTest, WithoutAnIconMinimisingKeepsTheWindowReachable) {
    EXPECT_FALSE(APIStuff::TrayIconShown);
    SendMessageW(form->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(IsWindowVisible(form->Handle())) << "a hidden window without an icon could never come back";
    EXPECT_TRUE(IsIconic(form->Handle()));
    box->onBus = 0;
    ASSERT_TRUE(support::WaitFor([&] { return StatusText() == texts::ABSENT; })) << "and the program runs on";
    SendMessageW(form->Handle(), WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_FALSE(IsIconic(form->Handle()));
}

}  // namespace
