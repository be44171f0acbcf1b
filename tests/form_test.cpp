// The window in this process on the stand-in box: its start, its layout, the
// poll and the switch command.
#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdlib>
#include <map>
#include <thread>

#include "FormFixture.h"
#include "device/BoxLock.h"
#include "device/LibrarySearch.h"
#include "tray/APIStuff.h"
#include "window/Contrast.h"
#include "window/Layout.h"
#include "resources/resource_ids.h"

#include <commctrl.h>

namespace {

using standin::Channel;
using FormTest = FormFixture;

RECT ClientRect(HWND hwnd) {
    RECT r = {};
    GetClientRect(hwnd, &r);
    return r;
}

// The dark pixels a control paints inside its frame: its text.
int Ink(HWND control) {
    const RECT r = ClientRect(control);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, r.right, r.bottom);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    SendMessageW(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
    int ink = 0;
    for (int y = 4; y < r.bottom - 4; ++y) {
        for (int x = 4; x < r.right - 4; ++x) ink += GetGValue(GetPixel(dc, x, y)) < 128;
    }
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return ink;
}

// Whether a control's text shows whole inside it: a label's or a check box's
// on its line, an edit box's lines, a push button's caption as the button
// lays it out.
bool TextFits(HWND control) {
    const RECT client = ClientRect(control);
    wchar_t cls[32] = {}, text[1024] = {};
    GetClassNameW(control, cls, 32);
    GetWindowTextW(control, text, 1024);
    const bool button = lstrcmpiW(cls, L"Button") == 0;
    const bool checkBox = button && (GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK) == BS_AUTOCHECKBOX;
    if (button && !checkBox) {
        // As much of the caption shows as when the button is far taller.
        const int shown = Ink(control);
        SetWindowPos(control, nullptr, 0, 0, client.right, client.bottom * 3, SWP_NOMOVE | SWP_NOZORDER);
        const int whole = Ink(control);
        SetWindowPos(control, nullptr, 0, 0, client.right, client.bottom, SWP_NOMOVE | SWP_NOZORDER);
        return shown > 0 && shown == whole;
    }
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc, &metrics);
    SIZE line = {};
    GetTextExtentPoint32W(dc, text, lstrlenW(text), &line);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    if (lstrcmpiW(cls, L"Edit") == 0) {
        RECT format = {};
        SendMessageW(control, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
        return SendMessageW(control, EM_GETLINECOUNT, 0, 0) * metrics.tmHeight <= format.bottom - format.top;
    }
    // A check box's text follows its box and a small gap.
    const int box = checkBox ? GetSystemMetrics(SM_CXMENUCHECK) + MulDiv(6, layout::SystemDpi(), 96) : 0;
    return line.cx + box <= client.right && line.cy <= client.bottom;
}

RECT RectIn(HWND control, HWND parent) {
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

TEST_F(FormTest, StartsSearchingOnWhiteWithEveryTextInPlace) {
    EXPECT_EQ(support::WindowText(form->Handle()), L"Varnosklen v1.0 ");
    EXPECT_EQ(StatusText(), L"Αναζήτηση της συσκευής  < Varnosklen > ...");
    EXPECT_EQ(StatusColour(), colours::WHITE);
    EXPECT_TRUE(ButtonEnabled());
    EXPECT_EQ(support::WindowText(form->Command1), L"Σύνδεση με το κοινό περιφεριακό USB");
    EXPECT_EQ(support::WindowText(form->Frame1), L" Σχεδίαση : ");
    EXPECT_EQ(support::WindowText(form->Label3), L"Κατάσταση :");
    EXPECT_EQ(GetMenu(form->Handle()), nullptr) << "no menu bar";
    EXPECT_EQ(GetFocus(), form->Command1);

    EXPECT_EQ(Colours(form->Frame1, form->Label2).first, colours::LINK) << "the link is blue";
    const HWND tip =
        support::FindWindowWhere(TOOLTIPS_CLASSW, [&](HWND w) { return GetWindow(w, GW_OWNER) == form->Handle(); });
    ASSERT_NE(tip, nullptr) << "the link's tool tip";
    wchar_t text[256] = {};
    TTTOOLINFOW info = {TTTOOLINFOW_V2_SIZE};
    info.lpszText = text;
    ASSERT_TRUE(SendMessageW(tip, TTM_ENUMTOOLSW, 0, reinterpret_cast<LPARAM>(&info)));
    EXPECT_EQ(reinterpret_cast<HWND>(info.uId), form->Label2);
    EXPECT_STREQ(text, L"Κάντε κλίκ εδώ, για να επισκευτείτε τον δικτυακό μου τόπο.");
}

// How many lines a push button's caption takes, inside its frame and focus
// rectangle.
int CaptionLines(HWND button) {
    HDC dc = GetDC(button);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(button, WM_GETFONT, 0, 0)));
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc, &metrics);
    RECT r = {0, 0, ClientRect(button).right - 8, 0};
    DrawTextW(dc, support::WindowText(button).c_str(), -1, &r, DT_CALCRECT | DT_WORDBREAK | DT_CENTER);
    SelectObject(dc, old);
    ReleaseDC(button, dc);
    return r.bottom / metrics.tmHeight;
}

// Where all lies: the client area's size, each control's rectangle, the font's height.
using Placed = std::vector<LONG>;

// Every control keeps its left and top in twips at the DPI; labels may grow
// wider and the status box and button taller, the frame move down, so that
// every text shows whole; all stay inside their parents.
Placed CheckLayout(const Form1& form, int dpi) {
    SCOPED_TRACE(dpi);
    const auto px = [dpi](int twips) { return MulDiv(twips, dpi, 1440); };
    struct Row {
        HWND control;
        int left, top, width, height;
    };
    const Row rows[] = {{form.Frame1, 120, 2160, 3495, 975},   {form.Label2, 480, 600, 1650, 195},
                        {form.Label1, 360, 240, 3015, 255},    {form.Text1, 120, 360, 3495, 765},
                        {form.Command1, 960, 1320, 1815, 615}, {form.Label3, 120, 120, 975, 195}};
    const RECT client = ClientRect(form.Handle());
    EXPECT_EQ(client.right, px(3795));
    Placed placed = {client.right, client.bottom};
    for (const Row& row : rows) {
        SCOPED_TRACE(support::WindowText(row.control).c_str());
        HWND parent = GetParent(row.control);
        const RECT r = RectIn(row.control, parent), inParent = ClientRect(parent);
        placed.insert(placed.end(), {r.left, r.top, r.right, r.bottom});
        EXPECT_EQ(r.left, px(row.left));
        EXPECT_EQ(r.top, row.control == form.Frame1 ? std::max<int>(r.top, px(row.top)) : px(row.top));
        EXPECT_GE(r.right - r.left, px(row.width));
        EXPECT_GE(r.bottom - r.top, px(row.height));
        EXPECT_TRUE(r.right <= inParent.right && r.bottom <= inParent.bottom) << "inside its parent";
        EXPECT_TRUE(row.control == form.Text1 || row.control == form.Frame1 || TextFits(row.control));
    }
    EXPECT_LT(RectIn(form.Text1, form.Handle()).bottom, RectIn(form.Command1, form.Handle()).top);
    EXPECT_LT(RectIn(form.Command1, form.Handle()).bottom, RectIn(form.Frame1, form.Handle()).top);
    for (TextId id : {TextId::Searching, TextId::Absent, TextId::Present, TextId::ShortAbsent, TextId::ShortPresent,
                      TextId::LibraryMissing, TextId::LibraryIncomplete, TextId::LibraryOtherArchitecture}) {
        SetWindowTextW(form.Text1, Text(id));
        EXPECT_TRUE(TextFits(form.Text1)) << Text(id);
    }
    LOGFONTW gui = {}, font = {};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof gui, &gui);
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(form.Text1, WM_GETFONT, 0, 0)), sizeof font, &font);
    EXPECT_STREQ(font.lfFaceName, gui.lfFaceName);
    EXPECT_EQ(font.lfHeight, -MulDiv(8, dpi, 72));
    placed.push_back(font.lfHeight);
    return placed;
}

// Watches a window's font and icon being replaced: the one replaced must
// still exist when its successor arrives.
struct ReplacedWhileAlive {
    static inline std::map<HWND, WNDPROC> procs;
    static inline int replaced = 0, deadAtReplacement = 0;
    static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
        const WNDPROC real = procs[h];
        if (m == WM_SETFONT || m == WM_SETICON) {
            const auto old = CallWindowProcW(real, h, m == WM_SETFONT ? WM_GETFONT : WM_GETICON, w, 0);
            ICONINFO info = {};
            const bool alive =
                m == WM_SETFONT ? GetObjectType(HGDIOBJ(old)) == OBJ_FONT : GetIconInfo(HICON(old), &info) != FALSE;
            if (info.hbmMask) DeleteObject(info.hbmMask);
            if (info.hbmColor) DeleteObject(info.hbmColor);
            replaced += old != 0;
            deadAtReplacement += old && !alive;
        }
        return CallWindowProcW(real, h, m, w, l);
    }
    explicit ReplacedWhileAlive(std::initializer_list<HWND> windows) {
        for (HWND h : windows) procs[h] = WNDPROC(SetWindowLongPtrW(h, GWLP_WNDPROC, LONG_PTR(&Proc)));
    }
    ~ReplacedWhileAlive() {
        for (const auto& [h, real] : procs) SetWindowLongPtrW(h, GWLP_WNDPROC, LONG_PTR(real));
        procs.clear();
    }
};

// The test command runs this at 96, 120 and 144 dpi. Moved to a monitor of
// another scale, the window lays itself out as a start there would.
TEST_F(FormTest, ControlsLieWhereTheyBelongAtEveryDpi) {
    const char* dpi = getenv("VARNOSKLEN_DPI");
    EXPECT_EQ(layout::SystemDpi(), dpi ? atoi(dpi) : 96) << "the prefix runs at the DPI asked for";
    const Placed start = CheckLayout(*form, layout::SystemDpi());
    ReplacedWhileAlive spy({form->Handle(), form->Text1, form->Command1, form->Label2});
    for (int to : {96, 120, 144, layout::SystemDpi()}) {
        RECT suggested;
        GetWindowRect(form->Handle(), &suggested);
        SendMessageW(form->Handle(), WM_DPICHANGED, MAKEWPARAM(to, to), reinterpret_cast<LPARAM>(&suggested));
        const Placed moved = CheckLayout(*form, to);
        EXPECT_TRUE(to != layout::SystemDpi() || moved == start) << "as a start at " << to;
    }
    EXPECT_GE(ReplacedWhileAlive::replaced, 4 * 5);
    EXPECT_EQ(ReplacedWhileAlive::deadAtReplacement, 0) << "a font or icon freed before its successor was in place";
}

// The dialog is laid out by the system in dialog units; its texts must
// still fit in either language. Also run at 120 and 144 dpi.
TEST_F(FormTest, TheSettingsDialogShowsEveryTextWholeAtEveryDpi) {
    SendMessageW(form->Handle(), WM_COMMAND, Form1::ID_MNU_TRAY_SETTINGS, 0);
    HWND dialog = form->SettingsDialogHandle();
    const RECT client = ClientRect(dialog);
    for (settings::LanguageChoice language : {settings::LanguageChoice::Greek, settings::LanguageChoice::English}) {
        HWND list = GetDlgItem(dialog, IDC_SETTINGS_LANGUAGE);
        SendMessageW(list, CB_SETCURSEL, WPARAM(language), 0);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_SETTINGS_LANGUAGE, CBN_SELCHANGE), LPARAM(list));
        for (HWND control = GetWindow(dialog, GW_CHILD); control; control = GetWindow(control, GW_HWNDNEXT)) {
            SCOPED_TRACE(support::WindowText(control).c_str());
            const RECT r = RectIn(control, dialog);
            EXPECT_TRUE(r.left > 0 && r.top > 0 && r.right < client.right && r.bottom < client.bottom) << "inside";
            EXPECT_TRUE(TextFits(control));
        }
    }
}

// Every text in both languages: there, English with no Greek letter and
// none of the Greek original's typography (angle brackets, doubled blanks,
// "!"), the tip within the shell's 63 characters, and the window laid out for
// each language whole (also at 120 and 144 dpi).
TEST_F(FormTest, EveryTextIsThereInBothLanguagesAndShowsWhole) {
    using settings::Language;
    for (Language language : {Language::Greek, Language::English}) {
        SCOPED_TRACE(language == Language::Greek ? "Greek" : "English");
        for (int id = 0; id < static_cast<int>(TextId::Count); ++id) {
            const std::wstring text = TextIn(language, TextId(id));
            EXPECT_FALSE(text.empty()) << id;
            if (language == Language::Greek) continue;
            EXPECT_TRUE(std::none_of(text.begin(), text.end(), [](wchar_t c) { return c >= 0x370 && c < 0x400; }))
                << id;
            EXPECT_EQ(text.find_first_of(L"<>!"), std::wstring::npos) << id;
            EXPECT_EQ(text.find(L"  "), std::wstring::npos) << id;
        }
        EXPECT_LE(lstrlenW(TextIn(language, TextId::TrayTip)), 63);
        form->ChangeLanguage(language);
        CheckLayout(*form, layout::SystemDpi());
        if (language == Language::English) {
            EXPECT_LE(CaptionLines(form->Command1), 2);
        }
    }
    form->ChangeLanguage(Language::Greek);
}

TEST(Contrast, RatiosAreThoseOfTheGuidelines) {
    const std::tuple<COLORREF, COLORREF, double> rows[] = {{RGB(0, 0, 0), RGB(255, 255, 255), 21.0},
                                                           {RGB(255, 255, 255), RGB(255, 255, 255), 1.0},
                                                           {RGB(0x76, 0x76, 0x76), RGB(255, 255, 255), 4.54},
                                                           {RGB(255, 255, 255), RGB(0, 0, 255), 8.59}};
    for (const auto& [a, b, ratio] : rows) EXPECT_NEAR(contrast::Ratio(a, b), ratio, 0.01);
}

// Whatever the scheme, every colour the window answers for a control's text
// reads on the background it answers with, in each state of the status box.
TEST_F(FormTest, EveryTextReadsInADarkHighContrastScheme) {
    static const int elements[] = {COLOR_WINDOW, COLOR_WINDOWTEXT, COLOR_BTNFACE, COLOR_BTNTEXT, COLOR_HOTLIGHT};
    struct Saved {  // put back, whatever happens
        COLORREF colours[5] = {};
        Saved() { std::transform(elements, elements + 5, colours, GetSysColor); }
        ~Saved() { SetSysColors(5, elements, colours); }
    } saved;
    const COLORREF white = RGB(255, 255, 255), black = RGB(0, 0, 0);
    const COLORREF schemes[][5] = {{black, white, black, white, RGB(255, 255, 0)},
                                   {black, white, black, white, RGB(0, 0, 128)},
                                   {black, black, black, black, black}};
    for (const auto& scheme : schemes) {
        ASSERT_TRUE(SetSysColors(5, elements, scheme));
        Recreate();
        for (int state = 0; state < 3; ++state) {
            if (state > 0) box->onBus = state == 1, form->Timer1_Timer();
            for (HWND control : {form->Text1, form->Label1, form->Label2, form->Label3, form->Frame1}) {
                const auto [text, back] = Colours(form->Handle(), control);
                EXPECT_GE(contrast::Ratio(text, back), 4.5)
                    << support::WindowText(control).c_str() << " " << state << " " << std::hex << text;
            }
        }
        UpdateWindow(form->Handle());
        SendMessageW(form->Handle(), WM_SYSCOLORCHANGE, 0, 0);
        EXPECT_TRUE(GetUpdateRect(form->Text1, nullptr, FALSE) && GetUpdateRect(form->Label2, nullptr, FALSE));
    }
}

// Run once under the Greek code page and once under another (see CMake).
// Chosen where the display language is another.
TEST_F(FormTest, GreekReadsRightWhateverTheCodePage) {
    const char* expected = getenv("VARNOSKLEN_EXPECT_ACP");
    EXPECT_EQ(GetACP(), expected ? UINT(atoi(expected)) : GetACP());
    settings::WriteLanguageChoice(settings::LanguageChoice::Greek);
    Recreate();
    settings::WriteLanguageChoice(settings::LanguageChoice::Automatic);
    box->onBus = 0;
    form->Timer1_Timer();
    EXPECT_EQ(StatusText(),
              L" Η συσκευή <Varnosklen> δέν βρέθηκε, άρα πρέπει να έχετε ήδη συνδεθεί με το κοινό "
              L"περιφεριακό USB (π.χ. εκτυπωτής USB) ");
    EXPECT_EQ(support::WindowText(form->Label1), texts::LABEL1);
    // The whole tip in the notification area: 8-bit where the code page holds it, else wide.
    EXPECT_EQ(APIStuff::TrayIconData.wide, GetACP() != 1253);
    if (APIStuff::TrayIconData.wide) {
        EXPECT_EQ(std::wstring(APIStuff::TrayIconData.szTipW.data()), texts::TRAY_TIP);
    }
}

// Each state of the box, reached from the other one so that every write is
// real: the text, the colour, the button, the status kept, one repaint.
TEST_F(FormTest, ThePollShowsEachAnswerOfTheBox) {
    struct Row {
        const char* name;
        void (*setUp)(Channel&);
        bool present;
        uint8_t probeStatus;
    };
    const Row rows[] = {
        {"off the bus", [](Channel& c) { c.onBus = 0; }, false, 1},
        {"on the bus", [](Channel&) {}, true, 0},
        {"status 1", [](Channel& c) { c.forceStatus = 1, c.forcedStatus = 1; }, false, 1},
        {"every call failing with 1", [](Channel& c) { c.failMask = 0xF; }, false, 1},
        {"every call failing with -1", [](Channel& c) { c.failMask = 0xF, c.failStatus = -1; }, true, 0xFF},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        box.Reset();
        box->onBus = !row.present;
        form->Timer1_Timer();
        box->onBus = 1;
        row.setUp(*box.Get());
        UpdateWindow(form->Handle());
        form->Timer1_Timer();
        EXPECT_EQ(StatusText(), row.present ? texts::PRESENT : texts::ABSENT);
        EXPECT_EQ(StatusColour(), row.present ? 0x00C0FFC0u : 0x00C0C0FFu);
        EXPECT_EQ(ButtonEnabled(), row.present);
        EXPECT_EQ(form->ProbeStatus, row.probeStatus);
        EXPECT_TRUE(GetUpdateRect(form->Text1, nullptr, FALSE)) << "a change repaints";
        UpdateWindow(form->Handle());
        form->Timer1_Timer();
        EXPECT_FALSE(GetUpdateRect(form->Text1, nullptr, FALSE)) << "a steady box does not";
    }
    // Every status but exactly 1 is present; none may narrow to 1.
    for (int32_t status : {0, 2, 255, 256, 257, 513, -1, INT_MAX, INT_MIN}) {
        box.Reset();
        box->forceStatus = 1;
        box->forcedStatus = status;
        form->Timer1_Timer();
        EXPECT_EQ(StatusText(), texts::PRESENT) << status;
        EXPECT_EQ(form->ProbeStatus, status >= 0 && status <= 255 ? status : 0xFF) << status;
    }
}

// A missing library is looked for at the first check, then every two seconds,
// and at once when asked to.
TEST(SearchSchedule, SearchesFirstThenEveryTwoSecondsOrAtOnceWhenAsked) {
    const std::tuple<ULONGLONG, bool, bool> steps[] = {{5000, false, true}, {5100, false, false}, {6999, false, false},
                                                       {7000, false, true}, {7100, true, true},   {7200, false, false},
                                                       {9200, false, true}};
    device::SearchSchedule schedule;
    for (const auto& [now, soon, due] : steps) {
        if (soon) schedule.SearchSoon();
        EXPECT_EQ(schedule.Due(now), due) << now;
    }
}

// A folder of PATH is searched only when it is a whole path on this computer.
TEST(SearchSchedule, NetworkAndRelativeFoldersOfPathAreNeverSearched) {
    using device::Skipped;
    const std::pair<const wchar_t*, Skipped> folders[] = {
        {L"C:\\Vendor", Skipped::No},
        {L"c:/vendor/", Skipped::No},
        {L"\\\\?\\C:\\Vendor", Skipped::No},
        {L".", Skipped::NotAbsolute},
        {L"Vendor\\bin", Skipped::NotAbsolute},
        {L"C:Vendor", Skipped::NotAbsolute},
        {L"\\\\server\\share", Skipped::Network},
        {L"//server/share/bin", Skipped::Network},
        {L"\\\\?\\UNC\\server\\share", Skipped::Network},
    };
    for (const auto& [folder, skipped] : folders) {
        device::Place place = {device::PlaceKind::Path};
        EXPECT_EQ(device::detail::MakePlace(place, folder, lstrlenW(folder), L"AVR309.dll"), skipped == Skipped::No);
        EXPECT_EQ(place.skipped, skipped) << folder;
    }
    // The program's own folder is searched wherever the program is.
    for (const wchar_t* folder : {L"\\\\server\\share\\", L"D:\\"}) {
        device::Place place = {device::PlaceKind::ProgramFolder};
        EXPECT_TRUE(device::detail::MakePlace(place, folder, lstrlenW(folder), L"AVR309.dll")) << folder;
    }
}

// Another program's sequence holds the box: the poll leaves it alone until it
// is done, then only probes. A press waits for it reading the window's
// messages, as Windows ghosts a window that reads none for five seconds, and
// goes out once it is done.
TEST_F(FormTest, ThePollAndThePressWaitOutAnotherProgramsSequence) {
    form->Timer1_Timer();
    ASSERT_EQ(StatusText(), texts::PRESENT);
    HANDLE held = CreateEventW(nullptr, TRUE, FALSE, nullptr), pressing = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    bool answered = false;
    std::thread other([&] {
        device::BoxLock lock(INFINITE);
        SetEvent(held);
        WaitForSingleObject(pressing, INFINITE);
        DWORD_PTR result = 0;
        answered = support::WaitFor(
            [&] { return SendMessageTimeoutW(form->Handle(), WM_NULL, 0, 0, SMTO_NORMAL, 100, &result) != 0; }, 4000);
    });
    ASSERT_EQ(WaitForSingleObject(held, 10000), WAIT_OBJECT_0);
    box->onBus = 0;
    LONG mark = box.Mark();
    for (int tick = 0; tick < 3; ++tick) form->Timer1_Timer();
    EXPECT_EQ(box.Mark(), mark) << "a probe in the middle of another's sequence";
    EXPECT_EQ(StatusText(), texts::PRESENT);
    SetEvent(pressing);
    form->Command1_Click();
    other.join();
    EXPECT_TRUE(answered) << "WM_NULL answered within 100 ms while the press waits";
    EXPECT_EQ(box.CountSince(mark, standin::OP_SET_OUT_DATA_PORT), 3) << "the press, once the other is done";
    mark = box.Mark();
    form->Timer1_Timer();
    EXPECT_EQ(StatusText(), texts::ABSENT);
    const auto calls = box.CallsSince(mark);
    EXPECT_TRUE(calls.size() == 1 && calls[0].op == standin::OP_GET_OUT_DATA_PORT) << "a tick only probes";
    CloseHandle(held);
    CloseHandle(pressing);
}

// A press another program keeps from the box says so until a probe shows the
// box again; the presses that came meanwhile are one try, not one wait each.
TEST_F(FormTest, APressKeptFromTheBoxSaysSoAndThePressesThatCameMeanwhileAreOneTry) {
    box->switchOnCommand = 0;
    form->Timer1_Timer();
    PressWait wait(300);
    HeldBox other;
    const LONG mark = box.Mark();
    for (int press = 0; press < 3; ++press)
        PostMessageW(form->Handle(), WM_COMMAND, MAKEWPARAM(Form1::ID_COMMAND1, BN_CLICKED), LPARAM(form->Command1));
    EXPECT_EQ(form->Command1_Click(), Form1::Press::NotMade);
    EXPECT_EQ(StatusText(), Text(TextId::PressNotMade));
    form->Timer1_Timer();
    EXPECT_EQ(StatusText(), Text(TextId::PressNotMade)) << "a tick that skips leaves it said";
    other.LetGo();
    ASSERT_TRUE(support::WaitFor([&] { return box.CountSince(mark, standin::OP_SET_OUT_DATA_PORT) >= 3; }));
    form->Timer1_Timer();
    support::PumpMessages();
    EXPECT_EQ(box.CountSince(mark, standin::OP_SET_OUT_DATA_PORT), 3) << "three presses waiting, one sequence";
    EXPECT_EQ(StatusText(), texts::PRESENT);
}

// A window each of whose messages posts the next one.
struct Stream {
    static inline std::atomic<bool> on = false;
    static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
        if (m == WM_APP && on) PostMessageW(h, WM_APP, 0, 0);
        return DefWindowProcW(h, m, w, l);
    }
};

// The press's wait handles keys as the program's loop does (Esc closes the
// settings window), and ends at its deadline while messages keep coming.
TEST_F(FormTest, APressWaitingForTheBoxTakesKeysAndEndsOnTime) {
    box->switchOnCommand = 0;
    form->Timer1_Timer();
    form->mnuTraySettings_Click();
    HWND settings = form->SettingsDialogHandle();
    ASSERT_TRUE(settings);
    HeldBox other;
    std::atomic<bool> closed = false;
    std::thread keys([&] {
        PostMessageW(settings, WM_KEYDOWN, VK_ESCAPE, 0);
        closed = support::WaitFor([&] { return !IsWindow(settings); }, 3000);
        other.LetGo();
    });
    EXPECT_EQ(form->Command1_Click(), Form1::Press::Sent);
    keys.join();
    EXPECT_TRUE(closed) << "Esc in the settings window while the press waits";

    Stream::on = true;
    WNDCLASSW cls = {};
    cls.lpfnWndProc = &Stream::Proc;
    cls.hInstance = GetModuleHandleW(nullptr);
    cls.lpszClassName = L"VarnosklenTestStream";
    RegisterClassW(&cls);
    HWND stream = CreateWindowW(cls.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    PressWait wait(300);
    HeldBox still;
    std::atomic<bool> returned = false, ended = false;
    std::thread watch([&] {
        ended = support::WaitFor([&] { return bool(returned); }, 4000);
        Stream::on = false;  // lets a wait that missed its deadline end the test
    });
    PostMessageW(stream, WM_APP, 0, 0);
    EXPECT_EQ(form->Command1_Click(), Form1::Press::NotMade);
    returned = true;
    watch.join();
    EXPECT_TRUE(ended) << "the wait outlived its deadline under a stream of messages";
    DestroyWindow(stream);
}

// A press: the probe and three passes, whatever the box and its faults do,
// with the short text showing while the library works.
TEST_F(FormTest, APressSendsTheTenCallsWhateverTheBoxDoes) {
    struct Row {
        const char* name;
        uint8_t direction;
        void (*fault)(Channel&);
        uint8_t written[3];
        bool foundAtPress;
        LONG switches;
    };
    const auto none = [](Channel&) {};
    const auto vanished = [](Channel& c) { c.onBus = 0; };
    const auto leavesMidSequence = [](Channel& c) { c.leaveBusAtCall = c.callCount + 5; };
    const auto failedReads = [](Channel& c) {
        c.failMask = 1 << standin::OP_GET_DATA_PORT_DIRECTION, c.failWritesByte = 1, c.failByte = 0x5A;
    };
    const auto allFailing = [](Channel& c) { c.failMask = 0xF, c.failStatus = -1; };
    const auto pumping = [](Channel& c) { c.pumpMs = 150; };
    const Row rows[] = {
        {"from 0x00", 0x00, none, {0x02, 0x03, 0x01}, true, 1},
        {"from 0x01", 0x01, none, {0x03, 0x02, 0x00}, true, 1},
        {"from 0xF4", 0xF4, none, {0xF6, 0xF7, 0xF5}, true, 1},
        {"from 0xFF", 0xFF, none, {0xFD, 0xFC, 0xFE}, true, 1},
        {"vanished since the last tick", 0x00, vanished, {0x02, 0x03, 0x01}, false, 0},
        {"leaving the bus mid-sequence", 0x00, leavesMidSequence, {0x02, 0x03, 0x01}, true, 0},
        {"failed reads leaving 0x5A", 0x00, failedReads, {0x58, 0x5B, 0x58}, true, 0},
        {"every call failing with -1", 0x00, allFailing, {0x02, 0x03, 0x01}, true, 0},
        // Last: it stops the window's timer.
        {"a library running the window's messages", 0x00, pumping, {0x02, 0x03, 0x01}, true, 1},
    };
    const uint32_t ops[] = {0, 1, 2, 3, 1, 2, 3, 1, 2, 3};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        box.Reset();
        box->direction = row.direction;
        form->Timer1_Timer();
        ASSERT_TRUE(ButtonEnabled());
        row.fault(*box.Get());
        box->watchWindow = static_cast<LONG>(reinterpret_cast<LONG_PTR>(form->Text1));
        form->PortByte = 0;
        const LONG mark = box.Mark();
        form->Command1_Click();
        const auto calls = box.CallsSince(mark);
        ASSERT_EQ(calls.size(), 10u);
        const wchar_t* shortText = row.foundAtPress ? texts::SHORT_PRESENT : texts::SHORT_ABSENT;
        for (size_t i = 0; i < 10; ++i) {
            EXPECT_EQ(calls[i].op, ops[i]) << i;
            EXPECT_STREQ(i > 0 ? calls[i].watchedText : shortText, shortText) << i;
            const bool write = calls[i].op >= standin::OP_SET_DATA_PORT_DIRECTION;
            EXPECT_EQ(write ? calls[i].byteIn : 0u, write ? row.written[(i - 1) / 3] : 0u) << i;
        }
        EXPECT_EQ(StatusColour(), row.foundAtPress ? colours::PRESENT : colours::ABSENT);
        EXPECT_TRUE(ButtonEnabled()) << "a press leaves the button alone";
        EXPECT_EQ(box->switchCount, row.switches);
        if (box->pumpMs == 0) continue;
        KillTimer(form->Handle(), Form1::TIMER1_ID);  // from now on, only a tick that waited can come
        EXPECT_TRUE(support::WaitFor([&] { return StatusText() == texts::ABSENT; })) << "taken after the press";
    }
}

TEST_F(FormTest, EnterTheTrayItemAndTheHotkeyPressOnlyWhileTheButtonIsEnabled) {
    const MSG presses[] = {
        {form->Handle(), WM_COMMAND, MAKEWPARAM(Form1::ID_COMMAND1, BN_CLICKED), LPARAM(form->Command1)},
        {form->Handle(), WM_COMMAND, Form1::ID_MNU_TRAY_SWITCH, 0},
        {form->Handle(), WM_HOTKEY, Form1::HOTKEY_ID, MAKELPARAM(MOD_CONTROL | MOD_ALT, 'U')}};
    for (const bool onBus : {true, false}) {
        box->onBus = onBus;
        form->Timer1_Timer();
        EXPECT_EQ(form->IsTrayItemEnabled(Form1::ID_MNU_TRAY_SWITCH), onBus) << "the item follows the button";
        for (const auto& press : presses) {
            const LONG mark = box.Mark();
            SendMessageW(press.hwnd, press.message, press.wParam, press.lParam);
            EXPECT_EQ(box.CallsSince(mark).size(), onBus ? 10u : 0u);
        }
    }
}

}  // namespace
