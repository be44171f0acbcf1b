// The window, its presence poll and the switch command, through real windows
// and the stand-in box.
#include <climits>
#include <cstdlib>

#include "FormFixture.h"

#include <commctrl.h>
#include "device/module1.h"

namespace {

using standin::CallRecord;

RECT RectInParent(HWND control) {
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

int Dpi(int axis) {
    HDC dc = GetDC(nullptr);
    int dpi = GetDeviceCaps(dc, axis);
    ReleaseDC(nullptr, dc);
    return dpi;
}

int Px(int twips, int axis) { return MulDiv(twips, Dpi(axis), 1440); }

using FormTest = FormFixture;

TEST_F(FormTest, StartsWithTheSearchingTextOnWhiteAndTheButtonEnabled) {
    EXPECT_EQ(support::WindowText(form->Handle()), L"Varnosklen v1.0 ");
    EXPECT_EQ(StatusText(), texts::SEARCHING);
    EXPECT_EQ(StatusColour(), colours::WHITE);
    EXPECT_TRUE(ButtonEnabled());
    EXPECT_EQ(support::WindowText(form->Command1), L"Σύνδεση με το κοινό περιφεριακό USB");
    EXPECT_EQ(support::WindowText(form->Frame1), L" Σχεδίαση : ");
    EXPECT_EQ(support::WindowText(form->Label3), L"Κατάσταση :");
    EXPECT_EQ(support::WindowText(form->Label2), texts::WEB_ADDRESS);
    EXPECT_EQ(GetMenu(form->Handle()), nullptr) << "no menu bar";
    EXPECT_EQ(form->LastState, 0);
    EXPECT_EQ(GetFocus(), form->Command1);
}

TEST_F(FormTest, ControlsSitWhereTheLayoutPutsThemAtThisDpi) {
    // Labels may grow wider, the status box and the button taller, to show
    // their texts whole.
    struct Expected {
        HWND control;
        HWND parent;
        int left, top, width, height;
        bool wider, taller;
    };
    const Expected expected[] = {
        {form->Frame1, form->Handle(), 120, 2160, 3495, 975, false, false},
        {form->Label2, form->Frame1, 480, 600, 1650, 195, true, false},
        {form->Label1, form->Frame1, 360, 240, 3015, 255, true, false},
        {form->Text1, form->Handle(), 120, 360, 3495, 765, false, true},
        {form->Command1, form->Handle(), 960, 1320, 1815, 615, false, true},
        {form->Label3, form->Handle(), 120, 120, 975, 195, true, false},
    };
    for (const auto& e : expected) {
        SCOPED_TRACE(support::WindowText(e.control).c_str());
        EXPECT_EQ(GetParent(e.control), e.parent);
        const RECT r = RectInParent(e.control);
        EXPECT_EQ(r.left, Px(e.left, LOGPIXELSX));
        EXPECT_EQ(r.top, Px(e.top, LOGPIXELSY));
        if (e.taller) {
            EXPECT_GE(r.bottom - r.top, Px(e.height, LOGPIXELSY));
        } else {
            EXPECT_EQ(r.bottom - r.top, Px(e.height, LOGPIXELSY));
        }
        if (e.wider) {
            EXPECT_GE(r.right - r.left, Px(e.width, LOGPIXELSX));
        } else {
            EXPECT_EQ(r.right - r.left, Px(e.width, LOGPIXELSX));
        }
    }
    EXPECT_LT(RectInParent(form->Text1).bottom, RectInParent(form->Command1).top) << "grown, but apart";
    EXPECT_LT(RectInParent(form->Command1).bottom, RectInParent(form->Frame1).top);
    RECT client;
    GetClientRect(form->Handle(), &client);
    EXPECT_EQ(client.right, Px(3795, LOGPIXELSX));
    const RECT frame = RectInParent(form->Frame1);
    EXPECT_GE(client.bottom, frame.bottom) << "the credits frame shows whole";
}

TEST_F(FormTest, LabelsShowTheirTextWhole) {
    for (HWND label : {form->Label1, form->Label2, form->Label3}) {
        wchar_t text[256];
        GetWindowTextW(label, text, 256);
        HDC dc = GetDC(label);
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)));
        SIZE size;
        GetTextExtentPoint32W(dc, text, lstrlenW(text), &size);
        ReleaseDC(label, dc);
        RECT r;
        GetClientRect(label, &r);
        EXPECT_LE(size.cx, r.right) << text;
        EXPECT_LE(size.cy, r.bottom) << text;
    }
}

TEST_F(FormTest, EveryStatusTextShowsWhole) {
    RECT format = {};
    SendMessageW(form->Text1, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
    TEXTMETRICW metrics = {};
    HDC dc = GetDC(form->Text1);
    SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(form->Text1, WM_GETFONT, 0, 0)));
    GetTextMetricsW(dc, &metrics);
    ReleaseDC(form->Text1, dc);
    const int lines = (format.bottom - format.top) / metrics.tmHeight;
    for (const wchar_t* text : {texts::SEARCHING, texts::ABSENT, texts::PRESENT, texts::SHORT_ABSENT,
                                texts::SHORT_PRESENT, texts::LIBRARY_MISSING, texts::LIBRARY_INCOMPLETE}) {
        SetWindowTextW(form->Text1, text);
        EXPECT_LE(SendMessageW(form->Text1, EM_GETLINECOUNT, 0, 0), lines) << text;
    }
}

TEST_F(FormTest, TabOrderRunsButtonStatusFrameAndItsLabels) {
    std::vector<HWND> order;
    for (HWND c = GetWindow(form->Handle(), GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        order.push_back(c);
        if (c == form->Frame1)
            for (HWND f = GetWindow(c, GW_CHILD); f; f = GetWindow(f, GW_HWNDNEXT)) order.push_back(f);
    }
    const std::vector<HWND> expected = {form->Command1, form->Text1,  form->Frame1,
                                        form->Label1,   form->Label2, form->Label3};
    EXPECT_EQ(order, expected);
}

TEST_F(FormTest, UsesTheDefaultGuiFontNotTheBoldSystemFont) {
    LOGFONTW gui = {};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof gui, &gui);
    for (HWND control : {form->Command1, form->Text1, form->Label1, form->Label2, form->Label3, form->Frame1}) {
        auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
        ASSERT_NE(font, nullptr);
        LOGFONTW lf = {};
        GetObjectW(font, sizeof lf, &lf);
        EXPECT_STREQ(lf.lfFaceName, gui.lfFaceName);
        EXPECT_LT(lf.lfWeight, FW_BOLD);
        EXPECT_EQ(lf.lfHeight, -MulDiv(8, Dpi(LOGPIXELSY), 72));
    }
}

TEST_F(FormTest, TheLinkIsBlueWithItsToolTip) {
    HDC dc = CreateCompatibleDC(nullptr);
    SendMessageW(form->Frame1, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(form->Label2));
    EXPECT_EQ(GetTextColor(dc), colours::LINK);
    DeleteDC(dc);
    EXPECT_TRUE(GetWindowLongW(form->Label2, GWL_STYLE) & SS_NOTIFY) << "needed for clicks and the tool tip";

    HWND tip = nullptr;
    for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, TOOLTIPS_CLASSW, nullptr));) {
        if (GetWindow(w, GW_OWNER) == form->Handle()) tip = w;
    }
    ASSERT_NE(tip, nullptr);
    ASSERT_EQ(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 1);
    wchar_t text[256] = {};
    TTTOOLINFOW info = {};
    info.cbSize = TTTOOLINFOW_V2_SIZE;
    info.lpszText = text;
    ASSERT_TRUE(SendMessageW(tip, TTM_ENUMTOOLSW, 0, reinterpret_cast<LPARAM>(&info)));
    EXPECT_EQ(reinterpret_cast<HWND>(info.uId), form->Label2);
    EXPECT_STREQ(text, L"Κάντε κλίκ εδώ, για να επισκευτείτε τον δικτυακό μου τόπο.");
}

TEST_F(FormTest, GreekReadsRightWhateverTheCodePage) {
    // Run once under the Greek code page and once under another (see CMake).
    if (const char* expected = getenv("VARNOSKLEN_EXPECT_ACP")) {
        EXPECT_EQ(GetACP(), static_cast<UINT>(atoi(expected)));
    }
    box->onBus = 0;
    form->Timer1_Timer();
    EXPECT_EQ(StatusText(),
              L" Η συσκευή <Varnosklen> δέν βρέθηκε, άρα πρέπει να έχετε ήδη συνδεθεί με το κοινό "
              L"περιφεριακό USB (π.χ. εκτυπωτής USB) ");
    EXPECT_EQ(support::WindowText(form->Label1), texts::LABEL1);
}

// --- The presence poll ------------------------------------------------------

TEST_F(FormTest, AbsentDeviceShowsTheLongTextOnLightRedAndDisablesTheButton) {
    box->onBus = 0;
    form->Timer1_Timer();
    EXPECT_EQ(StatusText(), texts::ABSENT);
    EXPECT_EQ(StatusColour(), 0x00C0C0FFu);
    EXPECT_FALSE(ButtonEnabled());
    EXPECT_EQ(form->ProbeStatus, 1);
}

TEST_F(FormTest, EveryStatusButOneMeansPresent) {
    for (int32_t status : {0, 2, 255, 256, 257, -1, INT_MAX, INT_MIN}) {
        SCOPED_TRACE(status);
        box->onBus = 0;
        form->Timer1_Timer();  // from absent, so every write must really happen
        box->onBus = 1;
        box->forceStatus = 1;
        box->forcedStatus = status;
        form->Timer1_Timer();
        EXPECT_EQ(StatusText(), texts::PRESENT);
        EXPECT_EQ(StatusColour(), 0x00C0FFC0u);
        EXPECT_TRUE(ButtonEnabled());
        EXPECT_EQ(form->ProbeStatus, module1::NarrowStatus(status));
        EXPECT_NE(form->ProbeStatus, 1);
        box->forceStatus = 0;
    }
    box->forceStatus = 1;
    box->forcedStatus = 1;
    form->Timer1_Timer();
    EXPECT_EQ(StatusText(), texts::ABSENT);
}

TEST(NarrowStatus, KeepsInRangeStatusesAndNeverTurnsOthersIntoNotPresent) {
    EXPECT_EQ(module1::NarrowStatus(0), 0);
    EXPECT_EQ(module1::NarrowStatus(1), 1);
    EXPECT_EQ(module1::NarrowStatus(255), 255);
    for (int32_t status : {256, 257, 513, -1, -255, INT_MAX, INT_MIN})
        EXPECT_EQ(module1::NarrowStatus(status), 0xFF) << status;
}

TEST_F(FormTest, TheTimerFollowsTheDeviceEvenWhileHidden) {
    auto shows = [&](const wchar_t* text) { return support::WaitFor([&] { return StatusText() == text; }); };
    ASSERT_TRUE(shows(texts::PRESENT));
    box->onBus = 0;
    ASSERT_TRUE(shows(texts::ABSENT));
    EXPECT_FALSE(ButtonEnabled());

    ShowWindow(form->Handle(), SW_HIDE);
    box->onBus = 1;
    ASSERT_TRUE(shows(texts::PRESENT));
    EXPECT_TRUE(ButtonEnabled());
}

TEST_F(FormTest, APresenceChangeShowsAtTheNextTick) {
    form->Timer1_Timer();
    ASSERT_EQ(StatusText(), texts::PRESENT);
    box->onBus = 0;
    form->Timer1_Timer();
    EXPECT_EQ(StatusText(), texts::ABSENT);
    box->onBus = 1;
    form->Timer1_Timer();
    EXPECT_EQ(StatusText(), texts::PRESENT);
}

TEST_F(FormTest, ThePollOnlyProbes) {
    const LONG mark = box.Mark();
    ASSERT_TRUE(support::WaitFor([&] { return box.Mark() - mark >= 5; }));
    box->onBus = 0;
    const LONG mark2 = box.Mark();
    ASSERT_TRUE(support::WaitFor([&] { return box.Mark() - mark2 >= 5; }));
    for (const CallRecord& call : box.CallsSince(mark)) EXPECT_EQ(call.op, standin::OP_GET_OUT_DATA_PORT);
}

TEST_F(FormTest, ASteadyDeviceDoesNotRepaintTheStatusBox) {
    form->Timer1_Timer();
    UpdateWindow(form->Text1);
    for (int i = 0; i < 3; ++i) {
        form->Timer1_Timer();
        EXPECT_FALSE(GetUpdateRect(form->Text1, nullptr, FALSE));
    }
    box->onBus = 0;
    form->Timer1_Timer();
    EXPECT_TRUE(GetUpdateRect(form->Text1, nullptr, FALSE));
}

// --- The switch command -----------------------------------------------------

struct Write {
    uint32_t op;
    uint32_t byte;
};

std::vector<Write> Writes(const std::vector<CallRecord>& calls) {
    std::vector<Write> writes;
    for (const auto& c : calls)
        if (c.op == standin::OP_SET_DATA_PORT_DIRECTION || c.op == standin::OP_SET_OUT_DATA_PORT)
            writes.push_back({c.op, c.byteIn});
    return writes;
}

TEST_F(FormTest, TheSwitchCommandPulsesBitOneAroundAToggleOfBitZero) {
    for (uint8_t start : {0x00, 0x01, 0xF4, 0xFF}) {
        SCOPED_TRACE(static_cast<int>(start));
        box.Reset();
        box->direction = start;
        box->watchWindow = static_cast<LONG>(reinterpret_cast<LONG_PTR>(form->Text1));
        const LONG mark = box.Mark();
        form->Command1_Click();
        const auto calls = box.CallsSince(mark);

        const uint32_t ops[] = {0, 1, 2, 3, 1, 2, 3, 1, 2, 3};
        ASSERT_EQ(calls.size(), 10u);
        for (size_t i = 0; i < 10; ++i) EXPECT_EQ(calls[i].op, ops[i]) << i;
        const auto writes = Writes(calls);
        const uint8_t expected[] = {uint8_t(start ^ 0x02), uint8_t(start ^ 0x03), uint8_t(start ^ 0x01)};
        for (size_t pass = 0; pass < 3; ++pass) {
            EXPECT_EQ(writes[2 * pass].op, standin::OP_SET_DATA_PORT_DIRECTION);
            EXPECT_EQ(writes[2 * pass].byte, expected[pass]);
            EXPECT_EQ(writes[2 * pass + 1].op, standin::OP_SET_OUT_DATA_PORT);
            EXPECT_EQ(writes[2 * pass + 1].byte, expected[pass]);
        }
        // The short text is in the box while the library works.
        for (size_t i = 1; i < calls.size(); ++i) EXPECT_STREQ(calls[i].watchedText, texts::SHORT_PRESENT) << i;
        EXPECT_EQ(StatusColour(), colours::PRESENT);
        EXPECT_EQ(box->switchCount, 1);

        form->Timer1_Timer();  // the box has passed the line through and left the bus
        EXPECT_EQ(StatusText(), texts::ABSENT);
        EXPECT_EQ(StatusColour(), colours::ABSENT);
        EXPECT_FALSE(ButtonEnabled());
    }
}

TEST_F(FormTest, SuccessivePressesAlternateBitZero) {
    box->direction = 0x40;
    for (uint8_t expected : {0x41, 0x40, 0x41}) {
        box->onBus = 1;  // the box's own button puts it back on the bus
        box->passedThrough = 0;
        form->Command1_Click();
        EXPECT_EQ(box->direction, expected);
        EXPECT_EQ(box->output, expected);
    }
}

TEST_F(FormTest, APressWhenTheBoxHasVanishedShowsTheShortAbsentTextAndStillSends) {
    form->Timer1_Timer();
    ASSERT_TRUE(ButtonEnabled());
    box->onBus = 0;
    const LONG mark = box.Mark();
    form->Command1_Click();
    EXPECT_EQ(StatusText(), texts::SHORT_ABSENT);
    EXPECT_EQ(StatusColour(), colours::ABSENT);
    EXPECT_TRUE(ButtonEnabled()) << "the press leaves the button alone";
    EXPECT_EQ(box.CallsSince(mark).size(), 10u);
}

TEST_F(FormTest, TheMaskGoesOnWhateverAFailedDirectionReadLeft) {
    form->PortByte = 0x00;
    box->failMask = 1 << standin::OP_GET_DATA_PORT_DIRECTION;
    box->failWritesByte = 1;
    box->failByte = 0x5A;
    const LONG mark = box.Mark();
    form->Command1_Click();
    const auto writes = Writes(box.CallsSince(mark));
    ASSERT_EQ(writes.size(), 6u);
    EXPECT_EQ(writes[0].byte, 0x5Au ^ 0x02);
    EXPECT_EQ(writes[2].byte, 0x5Au ^ 0x01);
    EXPECT_EQ(writes[4].byte, 0x5Au ^ 0x02);
}

TEST_F(FormTest, EnterPressesTheButtonOnlyWhileItIsEnabled) {
    form->Timer1_Timer();
    LONG mark = box.Mark();
    SendMessageW(form->Handle(), WM_COMMAND, MAKEWPARAM(Form1::ID_COMMAND1, BN_CLICKED),
                 reinterpret_cast<LPARAM>(form->Command1));
    EXPECT_EQ(box.CallsSince(mark).size(), 10u);

    box->onBus = 0;
    form->Timer1_Timer();
    ASSERT_FALSE(ButtonEnabled());
    mark = box.Mark();
    SendMessageW(form->Handle(), WM_COMMAND, MAKEWPARAM(Form1::ID_COMMAND1, BN_CLICKED),
                 reinterpret_cast<LPARAM>(form->Command1));
    EXPECT_EQ(box.CallsSince(mark).size(), 0u);
}

}  // namespace
