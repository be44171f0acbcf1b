// The shell launcher and the credits link, with a logging stand-in browser
// registered for web addresses in the test prefix.
#include "FormFixture.h"
#include "shell/Shell.h"

namespace {

using support::Utf8;

std::wstring Logger() { return support::BinDir() + L"\\url_logger.exe"; }

// The logger registered as the handler of http addresses, writing to a log
// of its own, for as long as it lives; the prefix's own handler comes back.
class WebHandler {
public:
    WebHandler() {
        SetEnvironmentVariableW(L"VARNOSKLEN_URL_LOG", log_.c_str());
        RegCreateKeyExW(HKEY_CLASSES_ROOT, L"http\\shell\\open\\command", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_,
                        nullptr);
        DWORD size = sizeof saved_;
        hadValue_ = RegQueryValueExW(key_, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(saved_), &size) == 0;
        Set(L"\"" + Logger() + L"\" \"%1\"");
    }
    ~WebHandler() {
        if (hadValue_)
            Set(saved_);
        else
            RegDeleteValueW(key_, nullptr);
        RegCloseKey(key_);
    }
    // The launches an action makes: at least one, and any more of them by the
    // time another, known launch started after them has been logged.
    std::vector<std::string> LaunchesOf(const std::function<void()>& action) {
        action();
        Shell::ShellOpen(Logger().c_str(), L"Open", L"sentinel", nullptr, SW_SHOWNORMAL);
        EXPECT_TRUE(support::WaitFor([&] {
            const auto lines = support::Lines(support::ReadBytes(log_));
            return lines.size() >= 2 && std::find(lines.begin(), lines.end(), "sentinel\t1") != lines.end();
        }));
        auto lines = support::Lines(support::ReadBytes(log_));
        lines.erase(std::remove(lines.begin(), lines.end(), "sentinel\t1"), lines.end());
        DeleteFileW(log_.c_str());
        return lines;
    }

private:
    void Set(const std::wstring& value) {
        RegSetValueExW(key_, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       DWORD((value.size() + 1) * sizeof(wchar_t)));
    }
    support::TempDir dir_;
    std::wstring log_ = dir_.File(L"launches.log");
    HKEY key_ = nullptr;
    wchar_t saved_[1024] = {};
    bool hadValue_ = false;
};

TEST(ShellOpen, SaysWhetherTheShellStartedAHandler) {
    WebHandler handler;
    const auto launches = handler.LaunchesOf(
        [] { EXPECT_TRUE(Shell::ShellOpen(Logger().c_str(), L"Open", L"καλημέρα", nullptr, SW_SHOWNORMAL)); });
    EXPECT_EQ(launches, std::vector<std::string>{Utf8(L"καλημέρα\t1")}) << "through the 8-bit code page";

    support::TempDir dir;
    EXPECT_FALSE(Shell::ShellOpen(dir.File(L"missing.txt").c_str(), L"Open", nullptr, nullptr, SW_SHOWNORMAL));
    const std::wstring orphan = dir.File(L"orphan.varnosklen-none");
    CloseHandle(CreateFileW(orphan.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    EXPECT_FALSE(Shell::ShellOpen(orphan.c_str(), L"Open", nullptr, nullptr, SW_SHOWNORMAL)) << "no handler";
}

using LinkTest = FormFixture;

// Each way of using the link opens its own address once, shown normally: a
// browser told to start hidden would seem to ignore the click.
TEST_F(LinkTest, OpensItsOwnAddressOncePerUse) {
    WebHandler handler;
    const auto click = [&] {
        PostMessageW(form->Label2, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
        PostMessageW(form->Label2, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
        support::PumpMessages();
    };
    const std::vector<std::string> once = {Utf8(texts::WEB_ADDRESS) + "\t1"};
    EXPECT_EQ(handler.LaunchesOf(click), once) << "a click";

    SetFocus(form->Label2);
    MSG enter = {form->Label2, WM_KEYDOWN, VK_RETURN, 0};
    EXPECT_TRUE(SendMessageW(form->Label2, WM_GETDLGCODE, VK_RETURN, LPARAM(&enter)) & DLGC_WANTMESSAGE)
        << "so that Enter does not press the default button instead";
    EXPECT_EQ(handler.LaunchesOf([&] { SendMessageW(form->Label2, WM_KEYDOWN, VK_RETURN, 0); }), once) << "Enter";

    // Another program may rewrite the label's caption; the link keeps its address.
    SendMessageW(form->Label2, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"http://elsewhere.example/"));
    EXPECT_EQ(handler.LaunchesOf(click), once) << "a rewritten caption";

    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    SendMessageW(form->Label2, WM_SETCURSOR, WPARAM(form->Label2), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND)) << "the hand over the link";
}

}  // namespace
