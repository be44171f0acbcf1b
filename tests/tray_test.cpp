// The notification-area icon, its record, the tray menu and the hook on the
// window's messages.
#include "FormFixture.h"

#include <windows.h>
#include <shellapi.h>
#include "tray/APIStuff.h"
#include "tray/TrayIconRecord.h"

namespace {

using tray::TRAY_CALLBACK_MESSAGE;

uint32_t Le32(const tray::TrayRecordBytes& b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

std::string TipBytes(const tray::TrayRecordBytes& b) { return std::string(b.begin() + 24, b.end()); }

// --- The record -------------------------------------------------------------

TEST(TrayIconRecord, IsWrittenByteForByteForAddTipAndDelete) {
    tray::TrayIconRecord record;
    record.hWnd = 0x12345678;
    record.hIcon = 0x0BADF00D;
    record.uCallbackMessage = TRAY_CALLBACK_MESSAGE;
    record.uFlags = tray::FLAGS_ADD;
    auto add = tray::RecordBytes(record);
    EXPECT_EQ(Le32(add, 0), 88u);
    EXPECT_EQ(Le32(add, 4), 0x12345678u);
    EXPECT_EQ(Le32(add, 8), 0u);
    EXPECT_EQ(Le32(add, 12), 3u);
    EXPECT_EQ(Le32(add, 16), 2025u);
    EXPECT_EQ(Le32(add, 20), 0x0BADF00Du);
    EXPECT_EQ(TipBytes(add), std::string(64, '\0')) << "no tip before one is set";

    record.szTip = tray::MakeTipField(L"ab", 1253);
    record.uFlags = tray::FLAGS_TIP;
    auto tip = tray::RecordBytes(record);
    EXPECT_EQ(Le32(tip, 12), 4u);
    EXPECT_EQ(TipBytes(tip), std::string("ab") + '\0' + std::string(61, ' '));

    record.uFlags = tray::FLAGS_DELETE;
    auto del = tray::RecordBytes(record);
    EXPECT_EQ(Le32(del, 12), 0u);
    EXPECT_EQ(Le32(del, 4), 0x12345678u) << "the icon is still named by window and id";
    EXPECT_EQ(Le32(del, 8), 0u);
}

TEST(TrayIconRecord, TipKeepsItsNulAndIsCutAtSixtyThreeCharacters) {
    for (size_t length : {0u, 62u, 63u, 64u, 100u}) {
        SCOPED_TRACE(length);
        const std::wstring text(length, L'ω');
        const tray::TipField field = tray::MakeTipField(text.c_str(), 1253);
        const size_t kept = std::min<size_t>(length, 63);
        EXPECT_EQ(std::string(field.data(), kept), std::string(kept, '\xF9')) << "omega in Windows-1253";
        EXPECT_EQ(field[kept], '\0');
        EXPECT_EQ(std::string(field.data() + kept + 1, 64 - kept - 1), std::string(64 - kept - 1, ' '));
    }
}

TEST(TrayIconRecord, TheProgramsTipIsFiftyNineCharactersOfWindows1253) {
    const tray::TipField field = tray::MakeTipField(texts::TRAY_TIP, 1253);
    const std::string tip(field.data());
    EXPECT_EQ(tip.size(), 59u);
    EXPECT_EQ(tip.substr(0, 15), "<Varnosklen>. \xCA");  // Κ
}

// --- The icon in the shell ----------------------------------------------------

bool IconExists(HWND hwnd) {
    NOTIFYICONDATAW probe = {};
    probe.cbSize = NOTIFYICONDATAW_V1_SIZE;
    probe.hWnd = hwnd;
    probe.uID = 0;
    return Shell_NotifyIconW(NIM_MODIFY, &probe) != FALSE;
}

using TrayTest = FormFixture;

TEST_F(TrayTest, TheIconLivesFromLoadToDestruction) {
    HWND hwnd = form->Handle();
    EXPECT_TRUE(IconExists(hwnd));
    EXPECT_EQ(APIStuff::TrayIconData.hIcon, reinterpret_cast<uintptr_t>(form->TrayIconHandle()));
    EXPECT_NE(form->TrayIconHandle(), nullptr);
    EXPECT_STREQ(APIStuff::TrayIconData.szTip.data(),
                 "<Varnosklen>. \xCA\xDC\xED\xF4\xE5 \xEA\xEB\xDF\xEA \xE5\xE4\xFE, "
                 "\xE3\xE9\xE1 \xE5\xEC\xF6\xDC\xED\xE9\xF3\xE7 \xF4\xEF\xF5 "
                 "\xF0\xF1\xEF\xE3\xF1\xDC\xEC\xEC\xE1\xF4\xEF\xF2");
    DestroyWindow(hwnd);
    EXPECT_FALSE(IconExists(hwnd)) << "gone at once";
    EXPECT_EQ(APIStuff::TrayForm, nullptr);
}

// As a restarting Explorer does: the icon is lost, then "TaskbarCreated" comes.
void RestartTaskbar(HWND hwnd) {
    NOTIFYICONDATAW remove = {};
    remove.cbSize = NOTIFYICONDATAW_V1_SIZE;
    remove.hWnd = hwnd;
    ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &remove));
    ASSERT_FALSE(IconExists(hwnd));
    SendMessageW(hwnd, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
}

TEST_F(TrayTest, ANewTaskbarGetsTheIconBackWhetherTheWindowIsShownOrHidden) {
    RestartTaskbar(form->Handle());
    EXPECT_TRUE(IconExists(form->Handle()));
    EXPECT_EQ(APIStuff::TrayIconData.uFlags, tray::FLAGS_TIP) << "the tip was given again";

    SendMessageW(form->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_FALSE(IsWindowVisible(form->Handle()));
    RestartTaskbar(form->Handle());
    EXPECT_TRUE(IconExists(form->Handle()));
    SendMessageW(form->Handle(), TRAY_CALLBACK_MESSAGE, 0, WM_LBUTTONUP);
    EXPECT_TRUE(IsWindowVisible(form->Handle())) << "the hidden window can be brought back";
}

TEST_F(TrayTest, AnAnnouncementWithoutARestartKeepsTheIcon) {
    SendMessageW(form->Handle(), RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_TRUE(IconExists(form->Handle()));
    EXPECT_TRUE(APIStuff::TrayIconShown);
    SendMessageW(form->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_FALSE(IsWindowVisible(form->Handle()));
}

// --- The hook -----------------------------------------------------------------

// Stands between the hook and the window's own procedure, to see what is
// passed on.
struct PassedOn {
    static inline std::vector<std::pair<UINT, LPARAM>> messages;
    static inline WNDPROC real = nullptr;
    static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
        messages.push_back({m, m == WM_SYSCOMMAND ? static_cast<LPARAM>(w) : l});
        return CallWindowProcA(real, h, m, w, l);
    }
    PassedOn() {
        messages.clear();
        real = APIStuff::PrevWndProc;
        APIStuff::PrevWndProc = &Proc;
    }
    ~PassedOn() { APIStuff::PrevWndProc = real; }
    static bool Saw(UINT msg, LPARAM detail) {
        for (auto& m : messages)
            if (m.first == msg && m.second == detail) return true;
        return false;
    }
};

bool Enabled(HMENU menu, UINT item) { return !(GetMenuState(menu, item, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED)); }

TEST_F(TrayTest, TheMenuHasOpenAndExitAndAHiddenMinimiseItem) {
    ASSERT_EQ(GetMenuItemCount(form->mnuTray), 2);
    wchar_t text[64];
    GetMenuStringW(form->mnuTray, 0, text, 64, MF_BYPOSITION);
    EXPECT_STREQ(text, L"Ανοιγμα του Varnosklen");
    GetMenuStringW(form->mnuTray, 1, text, 64, MF_BYPOSITION);
    EXPECT_STREQ(text, L"Εξοδος");
    EXPECT_TRUE(Enabled(form->mnuTray, Form1::ID_MNU_TRAY_RESTORE));
    EXPECT_TRUE(Enabled(form->mnuTray, Form1::ID_MNU_TRAY_CLOSE));
    EXPECT_TRUE(form->IsTrayItemEnabled(Form1::ID_MNU_TRAY_MINIMIZE));

    int16_t other = 2;
    form->SetTrayMenuItems(other);
    EXPECT_TRUE(Enabled(form->mnuTray, Form1::ID_MNU_TRAY_RESTORE)) << "other states change nothing";
    EXPECT_TRUE(form->IsTrayItemEnabled(Form1::ID_MNU_TRAY_MINIMIZE));
}

TEST_F(TrayTest, MinimisingHidesTheWindowWithoutMinimisingIt) {
    SendMessageW(form->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_FALSE(IsWindowVisible(form->Handle())) << "hidden, and its taskbar button with it";
    EXPECT_FALSE(IsIconic(form->Handle()));
    EXPECT_TRUE(Enabled(form->mnuTray, Form1::ID_MNU_TRAY_RESTORE));
    EXPECT_FALSE(form->IsTrayItemEnabled(Form1::ID_MNU_TRAY_MINIMIZE));

    SendMessageW(form->Handle(), TRAY_CALLBACK_MESSAGE, 0, WM_LBUTTONUP);
    EXPECT_TRUE(IsWindowVisible(form->Handle()));
    EXPECT_TRUE(Enabled(form->mnuTray, Form1::ID_MNU_TRAY_RESTORE)) << "a left click leaves the menu alone";
}

TEST_F(TrayTest, ALeftClickRestoresAMinimisedWindow) {
    form->mnuTrayMinimize_Click();
    ASSERT_TRUE(IsIconic(form->Handle())) << "minimised the ordinary way, not hidden";
    ASSERT_TRUE(IsWindowVisible(form->Handle()));
    SendMessageW(form->Handle(), TRAY_CALLBACK_MESSAGE, 0, WM_LBUTTONUP);
    EXPECT_FALSE(IsIconic(form->Handle()));
    EXPECT_TRUE(IsWindowVisible(form->Handle()));
}

TEST_F(TrayTest, OtherMouseMessagesOfTheIconArePassedOn) {
    PassedOn passed;
    for (LPARAM mouse :
         std::initializer_list<LPARAM>{WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_RBUTTONDOWN, WM_RBUTTONDBLCLK,
                                       WM_MBUTTONUP, static_cast<LPARAM>(0x10000 | WM_LBUTTONUP)}) {
        SendMessageW(form->Handle(), TRAY_CALLBACK_MESSAGE, 0, mouse);
        EXPECT_TRUE(PassedOn::Saw(TRAY_CALLBACK_MESSAGE, mouse)) << mouse;
    }
    SendMessageW(form->Handle(), TRAY_CALLBACK_MESSAGE, 0, WM_LBUTTONUP);
    EXPECT_FALSE(PassedOn::Saw(TRAY_CALLBACK_MESSAGE, WM_LBUTTONUP));
}

TEST_F(TrayTest, RestoreShowsAHiddenWindowAndTakesTheOrdinaryPathOtherwise) {
    PassedOn passed;
    form->mnuTrayRestore_Click();  // shown: nothing changes
    EXPECT_TRUE(PassedOn::Saw(WM_SYSCOMMAND, SC_RESTORE));
    EXPECT_TRUE(IsWindowVisible(form->Handle()));
    EXPECT_FALSE(IsIconic(form->Handle()));

    SendMessageW(form->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    PassedOn::messages.clear();
    form->mnuTrayRestore_Click();
    EXPECT_FALSE(PassedOn::Saw(WM_SYSCOMMAND, SC_RESTORE));
    EXPECT_TRUE(IsWindowVisible(form->Handle()));
    EXPECT_FALSE(Enabled(form->mnuTray, Form1::ID_MNU_TRAY_RESTORE));
    EXPECT_TRUE(form->IsTrayItemEnabled(Form1::ID_MNU_TRAY_MINIMIZE));
}

// --- The popup menu -------------------------------------------------------------

HWND OpenPopup() {
    for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, L"#32768", nullptr));)
        if (IsWindowVisible(w)) return w;
    return nullptr;
}

// Runs inside the popup's own message loop.
struct InPopup {
    static inline std::function<void(HWND)> action;
    static inline bool ran = false;
    static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD) {
        HWND popup = OpenPopup();
        if (!popup || ran) return;
        ran = true;
        KillTimer(nullptr, id);
        action(popup);
    }
    explicit InPopup(std::function<void(HWND)> a) {
        action = std::move(a);
        ran = false;
        SetTimer(nullptr, 0, 20, &Tick);
    }
};

void Press(HWND popup, UINT key) {
    PostMessageW(popup, WM_KEYDOWN, key, 0);
    PostMessageW(popup, WM_KEYUP, key, 0xC0000000);
}

TEST_F(TrayTest, ARightClickPopsUpTheMenuAndPostsANullMessageAfter) {
    std::vector<std::wstring> items;
    InPopup inside([&](HWND popup) {
        HMENU shown = reinterpret_cast<HMENU>(SendMessageW(popup, MN_GETHMENU, 0, 0));
        EXPECT_EQ(shown, form->mnuTray);
        for (int i = 0; i < GetMenuItemCount(shown); ++i) {
            wchar_t text[64] = {};
            GetMenuStringW(shown, i, text, 64, MF_BYPOSITION);
            items.push_back(text);
        }
        EndMenu();
    });
    SendMessageW(form->Handle(), TRAY_CALLBACK_MESSAGE, 0, WM_RBUTTONUP);
    EXPECT_TRUE(InPopup::ran);
    EXPECT_EQ(items, (std::vector<std::wstring>{L"Ανοιγμα του Varnosklen", L"Εξοδος"}));
    MSG msg;
    EXPECT_TRUE(PeekMessageW(&msg, form->Handle(), WM_NULL, WM_NULL, PM_REMOVE));
}

TEST_F(TrayTest, OpenChosenFromThePopupShowsTheHiddenWindow) {
    SendMessageW(form->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    InPopup inside([](HWND popup) {
        Press(popup, VK_DOWN);
        Press(popup, VK_RETURN);
    });
    SendMessageW(form->Handle(), TRAY_CALLBACK_MESSAGE, 0, WM_RBUTTONUP);
    EXPECT_TRUE(InPopup::ran);
    EXPECT_TRUE(IsWindowVisible(form->Handle())) << "the handler ran before the popup call returned";
    EXPECT_FALSE(Enabled(form->mnuTray, Form1::ID_MNU_TRAY_RESTORE));
}

TEST_F(TrayTest, ExitChosenFromThePopupDestroysTheWindowAndPostsNothingToIt) {
    HWND hwnd = form->Handle();
    ShowWindow(hwnd, SW_HIDE);
    InPopup inside([](HWND popup) {
        Press(popup, VK_UP);  // wraps round to the last item
        Press(popup, VK_RETURN);
    });
    SendMessageW(hwnd, TRAY_CALLBACK_MESSAGE, 0, WM_RBUTTONUP);
    EXPECT_TRUE(InPopup::ran);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(form->Handle(), nullptr);
    EXPECT_FALSE(IconExists(hwnd));
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_NULL, WM_NULL, PM_REMOVE | PM_QS_POSTMESSAGE));
}

}  // namespace
