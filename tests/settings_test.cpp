// The settings dialog, driven through its own messages on a real window: how
// it opens, what it shows, what OK and Cancel do, the hotkeys it refuses and
// its layout.
#include "FormFixture.h"

#include <commctrl.h>

#include "resources/resource_ids.h"
#include "settings/Settings.h"
#include "tray/APIStuff.h"

namespace {

using settings::RUN_KEY, settings::RUN_VALUE, settings::SETTINGS_KEY;
constexpr WORD CTRL_ALT_U = MAKEWORD('U', HOTKEYF_CONTROL | HOTKEYF_ALT);
constexpr WORD CTRL_SHIFT_K = MAKEWORD('K', HOTKEYF_CONTROL | HOTKEYF_SHIFT);

// Whether the combination is held (by the window under test): nobody else
// can register it.
bool Held(const settings::Hotkey& hotkey) {
    if (!RegisterHotKey(nullptr, 0xBFFF, hotkey.modifiers, hotkey.key)) return true;
    UnregisterHotKey(nullptr, 0xBFFF);
    return false;
}

class SettingsTest : public FormFixture {
protected:
    void TearDown() override {
        FormFixture::TearDown();
        Clear();
    }
    static void Clear() {
        RegDeleteKeyW(HKEY_CURRENT_USER, SETTINGS_KEY);
        RegDeleteKeyValueW(HKEY_CURRENT_USER, RUN_KEY, RUN_VALUE);
    }
    HWND Open() {
        SendMessageW(form->Handle(), WM_COMMAND, Form1::ID_MNU_TRAY_SETTINGS, 0);
        return form->SettingsDialogHandle();
    }
    HWND Item(int id) const { return GetDlgItem(form->SettingsDialogHandle(), id); }
    WORD Box() const { return WORD(SendMessageW(Item(IDC_SETTINGS_HOTKEY), HKM_GETHOTKEY, 0, 0)); }
    void SetBox(WORD value) { SendMessageW(Item(IDC_SETTINGS_HOTKEY), HKM_SETHOTKEY, value, 0); }
    bool Checked(int id) const { return SendMessageW(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
    void Click(int id) { SendMessageW(Item(id), BM_CLICK, 0, 0); }
    // As a user picks a language from the list.
    void PickLanguage(settings::LanguageChoice choice) {
        SendMessageW(Item(IDC_SETTINGS_LANGUAGE), CB_SETCURSEL, static_cast<WPARAM>(choice), 0);
        SendMessageW(form->SettingsDialogHandle(), WM_COMMAND, MAKEWPARAM(IDC_SETTINGS_LANGUAGE, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(Item(IDC_SETTINGS_LANGUAGE)));
    }
    // The hotkey the tray's switch item shows.
    std::wstring ItemHotkey() const {
        wchar_t text[128] = {};
        GetMenuStringW(form->mnuTray, Form1::ID_MNU_TRAY_SWITCH, text, 128, MF_BYCOMMAND);
        const wchar_t* tab = wcschr(text, L'\t');
        return tab ? tab + 1 : L"";
    }
};

// Its shortcut, Ctrl+, in the window, is pressed by the end-to-end test.
TEST_F(SettingsTest, OpensFromTheTrayOrTheSystemMenuOnceAndComesForwardWhenAskedAgain) {
    wchar_t text[64] = {};
    GetMenuStringW(GetSystemMenu(form->Handle(), FALSE), Form1::ID_SYSTEM_MENU_SETTINGS, text, 64, MF_BYCOMMAND);
    EXPECT_STREQ(text, L"Ρυθμίσεις…\tCtrl+,");
    const std::function<void()> ways[] = {
        [&] { SendMessageW(form->Handle(), WM_COMMAND, Form1::ID_MNU_TRAY_SETTINGS, 0); },
        [&] { SendMessageW(form->Handle(), WM_SYSCOMMAND, Form1::ID_SYSTEM_MENU_SETTINGS, 0); },
    };
    for (const auto& first : ways) {
        Recreate();
        first();
        HWND dialog = form->SettingsDialogHandle();
        ASSERT_TRUE(IsWindowVisible(dialog));
        EXPECT_EQ(GetWindow(dialog, GW_OWNER), form->Handle());
        EXPECT_EQ(support::WindowText(dialog), L"Ρυθμίσεις του Varnosklen");
        for (const auto& again : ways) {
            SetForegroundWindow(form->Handle());
            again();
            EXPECT_EQ(form->SettingsDialogHandle(), dialog) << "one dialog";
            EXPECT_EQ(GetForegroundWindow(), dialog) << "brought forward";
        }
    }
}

// From what is written (by hand, or not at all): what the dialog shows, what
// the user changes and how the dialog is closed; then what is saved and in force.
TEST_F(SettingsTest, ShowsWhatIsInForceAndOkSavesOnlyWhatChangedCancelOrClosingNothing) {
    constexpr WORD KEEP = 0xFFFF, NONE_BUTTON = 0xFFFE;
    constexpr DWORD UNWRITTEN = 0xFFFFFFFF, AS_TEXT = 0xFFFFFFFE;  // notifications: none, or the string "0"
    enum Close { Ok, Cancel };
    struct Row {
        const char* name;
        const wchar_t* hotkey;  // written before, or null
        DWORD notifications;
        bool run;
        WORD shownBox;
        bool shownStart, shownNotifications;
        WORD box;  // set by the user
        bool toggleStart, toggleNotifications;
        Close close;
        const wchar_t *savedHotkey, *savedNotifications;
        bool savedRun;
        const wchar_t* inForce;
    };
    const Row rows[] = {
        {"nothing written, nothing changed", nullptr, UNWRITTEN, false, CTRL_ALT_U, false, true, KEEP, false, false, Ok,
         L"(none)", L"(none)", false, L"Ctrl+Alt+U"},
        {"a new hotkey, the rest as it was", L"", 0, true, 0, true, false, CTRL_SHIFT_K, false, false, Ok,
         L"Ctrl+Shift+K", L"0", true, L"Ctrl+Shift+K"},
        {"no hotkey, by its button", L"Ctrl+Home", 2, false, MAKEWORD(VK_HOME, HOTKEYF_CONTROL | HOTKEYF_EXT), false,
         true, NONE_BUTTON, false, false, Ok, L"", L"2", false, L""},
        {"start with Windows", nullptr, UNWRITTEN, false, CTRL_ALT_U, false, true, KEEP, true, false, Ok, L"(none)",
         L"(none)", true, L"Ctrl+Alt+U"},
        {"notifications off", L"shift+f11", 1, false, MAKEWORD(VK_F11, HOTKEYF_SHIFT), false, true, KEEP, false, true,
         Ok, L"shift+f11", L"0", false, L"Shift+F11"},
        {"malformed by hand, left alone", L"Shift+K", AS_TEXT, false, CTRL_ALT_U, false, true, KEEP, false, false, Ok,
         L"Shift+K", L"0", false, L"Ctrl+Alt+U"},
        {"all changed, then Cancel", nullptr, UNWRITTEN, false, CTRL_ALT_U, false, true, CTRL_SHIFT_K, true, true,
         Cancel, L"(none)", L"(none)", false, L"Ctrl+Alt+U"},
    };
    const std::wstring mine = L"\"" + support::BinDir() + L"\\settings_test.exe\" /tray";
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Clear();
        if (row.hotkey) support::SetRegValue(SETTINGS_KEY, settings::HOTKEY_VALUE, row.hotkey);
        if (row.notifications == AS_TEXT) support::SetRegValue(SETTINGS_KEY, settings::NOTIFICATIONS_VALUE, L"0");
        if (row.notifications < AS_TEXT)
            support::SetRegValue(SETTINGS_KEY, settings::NOTIFICATIONS_VALUE, row.notifications);
        if (row.run) support::SetRegValue(RUN_KEY, RUN_VALUE, mine);
        Recreate();
        HWND dialog = Open();
        EXPECT_EQ(Box(), row.shownBox) << "the hotkey in force";
        EXPECT_EQ(Checked(IDC_SETTINGS_START_WITH_WINDOWS), row.shownStart);
        EXPECT_EQ(Checked(IDC_SETTINGS_NOTIFICATIONS), row.shownNotifications);
        if (row.box == NONE_BUTTON) Click(IDC_SETTINGS_NO_HOTKEY);
        if (row.box < NONE_BUTTON) SetBox(row.box);
        if (row.toggleStart) Click(IDC_SETTINGS_START_WITH_WINDOWS);
        if (row.toggleNotifications) Click(IDC_SETTINGS_NOTIFICATIONS);
        Click(row.close == Ok ? IDOK : IDCANCEL);
        EXPECT_FALSE(IsWindow(dialog));
        EXPECT_EQ(support::RegValue(SETTINGS_KEY, settings::HOTKEY_VALUE).value_or(L"(none)"), row.savedHotkey);
        EXPECT_EQ(support::RegValue(SETTINGS_KEY, settings::NOTIFICATIONS_VALUE).value_or(L"(none)"),
                  row.savedNotifications);
        EXPECT_EQ(support::RegValue(RUN_KEY, RUN_VALUE).has_value(), row.savedRun);
        EXPECT_EQ(ItemHotkey(), row.inForce) << "the tray menu follows at once";
        settings::Hotkey inForce = settings::NO_HOTKEY;
        ASSERT_TRUE(settings::ParseHotkey(row.inForce, inForce));
        EXPECT_TRUE(!inForce.key || Held(inForce)) << "registered";
        EXPECT_EQ(Held(settings::DEFAULT_HOTKEY), inForce.key == 'U') << "the old one let go";
    }
}

HWND MessageBoxOf(HWND owner) {
    return support::FindWindowWhere(L"#32770",
                                    [&](HWND w) { return GetWindow(w, GW_OWNER) == owner && IsWindowVisible(w); });
}

TEST_F(SettingsTest, AHotkeyHeldElsewhereOrTakingTypingIsRefusedWithAMessageAndTheOldOneKept) {
    wchar_t taken[512];
    wsprintfW(taken, texts::HOTKEY_TAKEN, L"Ctrl+Alt+K");
    const std::tuple<const char*, WORD, std::wstring> rows[] = {
        {"held by another program", MAKEWORD('K', HOTKEYF_CONTROL | HOTKEYF_ALT), taken},
        {"Shift and a letter", MAKEWORD('K', HOTKEYF_SHIFT), texts::HOTKEY_NOT_ALLOWED},
        {"a letter alone", MAKEWORD('K', 0), texts::HOTKEY_NOT_ALLOWED},
        {"modifiers without a key", MAKEWORD(0, HOTKEYF_CONTROL | HOTKEYF_ALT), texts::HOTKEY_NOT_ALLOWED},
        {"a key the setting cannot name", MAKEWORD(VK_OEM_1, HOTKEYF_CONTROL), texts::HOTKEY_NOT_ALLOWED},
        {"a number-pad key (the code of 'a')", MAKEWORD(VK_NUMPAD1, HOTKEYF_CONTROL), texts::HOTKEY_NOT_ALLOWED},
    };
    ASSERT_TRUE(RegisterHotKey(nullptr, 2, MOD_CONTROL | MOD_ALT, 'K')) << "as another program holds it";
    for (const auto& [name, value, message] : rows) {
        SCOPED_TRACE(name);
        Recreate();
        HWND dialog = Open();
        SetBox(value);
        std::wstring said;
        {
            support::WhenShown answer([&] { return MessageBoxOf(dialog); },
                                      [&](HWND box) {
                                          said = support::WindowText(GetDlgItem(box, 0xFFFF));
                                          SendMessageW(box, WM_COMMAND, IDOK, 0);
                                      });
            Click(IDOK);
        }
        EXPECT_EQ(said, message);
        EXPECT_TRUE(IsWindowVisible(dialog)) << "open, to choose again";
        EXPECT_EQ(GetFocus(), Item(IDC_SETTINGS_HOTKEY));
        EXPECT_FALSE(support::RegValue(SETTINGS_KEY, settings::HOTKEY_VALUE));
        EXPECT_EQ(ItemHotkey(), L"Ctrl+Alt+U");
        EXPECT_TRUE(Held(settings::DEFAULT_HOTKEY)) << "the old one stays";
    }
    UnregisterHotKey(nullptr, 2);
}

using settings::Language, settings::LanguageChoice;

// Greek only where the display language is Greek or it is chosen; what the
// program has no texts for, right-to-left scripts too, gets English.
TEST(Language, GreekWhereTheDisplayLanguageIsGreekUnlessAnotherIsChosen) {
    const LANGID greek = MAKELANGID(LANG_GREEK, SUBLANG_GREEK_GREECE),
                 us = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                 hebrew = MAKELANGID(LANG_HEBREW, SUBLANG_HEBREW_ISRAEL),
                 arabic = MAKELANGID(LANG_ARABIC, SUBLANG_ARABIC_EGYPT), japanese = MAKELANGID(LANG_JAPANESE, 1);
    const struct {
        const wchar_t* stored;  // null: no value
        LANGID display;
        Language expected;
    } rows[] = {{nullptr, greek, Language::Greek},      {nullptr, us, Language::English},
                {nullptr, hebrew, Language::English},   {nullptr, arabic, Language::English},
                {nullptr, japanese, Language::English}, {L"en", greek, Language::English},
                {L"EN", greek, Language::English},      {L"el", us, Language::Greek},
                {L"el", arabic, Language::Greek},       {L"fr", greek, Language::Greek},
                {L"en-GB", greek, Language::Greek},     {L"", us, Language::English}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << (row.stored ? row.stored : L"(none)") << " on " << row.display);
        RegDeleteKeyW(HKEY_CURRENT_USER, SETTINGS_KEY);
        if (row.stored) support::SetRegValue(SETTINGS_KEY, settings::LANGUAGE_VALUE, row.stored);
        EXPECT_EQ(settings::ChooseLanguage(settings::ReadLanguageChoice(), row.display), row.expected);
    }
    RegDeleteKeyW(HKEY_CURRENT_USER, SETTINGS_KEY);
}

// Picked in the list, a language shows at once in the window, the tray menu
// and tip, the link's tool tip and the dialog; Cancel takes it back, OK keeps
// it across a restart, and Automatic is no value at all.
TEST_F(SettingsTest, ALanguagePickedShowsAtOnceEverywhereCancelTakesItBackOkKeepsIt) {
    const Language own = settings::ChooseLanguage(LanguageChoice::Automatic, GetUserDefaultUILanguage());
    const Language other = own == Language::Greek ? Language::English : Language::Greek;
    const LanguageChoice otherChoice = other == Language::Greek ? LanguageChoice::Greek : LanguageChoice::English;
    const auto speaks = [&](Language language) {
        wchar_t item[128] = {}, system[128] = {}, tip[256] = {};
        GetMenuStringW(form->mnuTray, Form1::ID_MNU_TRAY_RESTORE, item, 128, MF_BYCOMMAND);
        GetMenuStringW(GetSystemMenu(form->Handle(), FALSE), Form1::ID_SYSTEM_MENU_SETTINGS, system, 128, MF_BYCOMMAND);
        TTTOOLINFOW tool = {TTTOOLINFOW_V2_SIZE};
        tool.lpszText = tip;
        SendMessageW(
            support::FindWindowWhere(TOOLTIPS_CLASSW, [&](HWND w) { return GetWindow(w, GW_OWNER) == form->Handle(); }),
            TTM_ENUMTOOLSW, 0, reinterpret_cast<LPARAM>(&tool));
        const auto in = [&](TextId id) { return std::wstring(TextIn(language, id)); };
        const HWND dialog = form->SettingsDialogHandle();
        const bool wide = language == Language::Greek && GetACP() != 1253;  // the 8-bit record wherever it can be
        return support::WindowText(form->Command1) == in(TextId::Command1) &&
               support::WindowText(form->Frame1) == in(TextId::Frame1) && StatusText() == in(TextId::Present) &&
               item == in(TextId::MnuTrayRestore) && system == in(TextId::SystemMenuSettings) &&
               tip == in(TextId::Label2Tooltip) && APIStuff::TrayIconData.szTipW.data() == in(TextId::TrayTip) &&
               APIStuff::TrayIconData.wide == wide &&
               (!dialog || (support::WindowText(dialog) == in(TextId::SettingsCaption) &&
                            support::WindowText(Item(IDCANCEL)) == in(TextId::SettingsCancel)));
    };
    form->Timer1_Timer();
    ASSERT_TRUE(speaks(own));
    Open();
    PickLanguage(otherChoice);
    EXPECT_TRUE(speaks(other)) << "at once";
    Click(IDCANCEL);
    EXPECT_TRUE(speaks(own)) << "taken back";
    EXPECT_FALSE(support::RegValue(SETTINGS_KEY, settings::LANGUAGE_VALUE));
    Open();
    PickLanguage(otherChoice);
    Click(IDOK);
    EXPECT_TRUE(speaks(other));
    Recreate();
    form->Timer1_Timer();
    EXPECT_TRUE(speaks(other)) << "after a restart";
    Open();
    PickLanguage(LanguageChoice::Automatic);
    Click(IDOK);
    EXPECT_TRUE(speaks(own));
    EXPECT_FALSE(support::RegValue(SETTINGS_KEY, settings::LANGUAGE_VALUE)) << "automatic: no value";
}

}  // namespace
