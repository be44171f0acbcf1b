// The shell launcher and the credits link, with a logging stand-in browser
// registered for web addresses in the test prefix.
#include <fstream>
#include <sstream>

#include "FormFixture.h"
#include "shell/Shell.h"

namespace {

std::vector<std::string> ReadLines(const std::wstring& file) {
    std::vector<std::string> lines;
    HANDLE h =
        CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return lines;
    std::string content(65536, '\0');
    DWORD read = 0;
    ReadFile(h, content.data(), static_cast<DWORD>(content.size()), &read, nullptr);
    CloseHandle(h);
    content.resize(read);
    std::istringstream in(content);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string Utf8(const std::wstring& text) {
    std::string out(text.size() * 3 + 1, '\0');
    out.resize(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(),
                                                       static_cast<int>(out.size()), nullptr, nullptr)) -
               1);
    return out;
}

// Registers the logger as the handler of http addresses for the test's
// length, and restores the prefix's own handler after.
class WebHandler {
public:
    explicit WebHandler(const std::wstring& log) {
        SetEnvironmentVariableW(L"VARNOSKLEN_URL_LOG", log.c_str());
        RegCreateKeyExW(HKEY_CLASSES_ROOT, KEY, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr);
        DWORD size = sizeof saved_;
        hadValue_ =
            RegQueryValueExW(key_, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(saved_), &size) == ERROR_SUCCESS;
        const std::wstring command = L"\"" + support::BinDir() + L"\\url_logger.exe\" \"%1\"";
        RegSetValueExW(key_, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                       static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
    }
    ~WebHandler() {
        if (hadValue_) {
            RegSetValueExW(key_, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(saved_),
                           static_cast<DWORD>((wcslen(saved_) + 1) * sizeof(wchar_t)));
        } else {
            RegDeleteValueW(key_, nullptr);
        }
        RegCloseKey(key_);
    }

private:
    static constexpr const wchar_t* KEY = L"http\\shell\\open\\command";
    HKEY key_ = nullptr;
    wchar_t saved_[1024] = {};
    bool hadValue_ = false;
};

TEST(ShellOpen, TrueWhenTheShellStartsTheHandler) {
    support::TempDir dir;
    const std::wstring log = dir.File(L"launches.log");
    SetEnvironmentVariableW(L"VARNOSKLEN_URL_LOG", log.c_str());
    const std::wstring logger = support::BinDir() + L"\\url_logger.exe";
    EXPECT_TRUE(Shell::ShellOpen(logger.c_str(), L"Open", L"καλημέρα", nullptr, SW_SHOWNORMAL));
    ASSERT_TRUE(support::WaitFor([&] { return ReadLines(log).size() == 1; }));
    EXPECT_EQ(ReadLines(log)[0], Utf8(L"καλημέρα\t1")) << "parameters pass through the 8-bit code page";
}

TEST(ShellOpen, FalseForAMissingFileOrOneWithoutAHandler) {
    support::TempDir dir;
    EXPECT_FALSE(Shell::ShellOpen(dir.File(L"missing.txt").c_str(), L"Open", nullptr, nullptr, SW_SHOWNORMAL));
    const std::wstring orphan = dir.File(L"orphan.varnosklen-none");
    HANDLE h = CreateFileW(orphan.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(h);
    EXPECT_FALSE(Shell::ShellOpen(orphan.c_str(), L"Open", nullptr, nullptr, SW_SHOWNORMAL));
}

using LinkTest = FormFixture;

TEST_F(LinkTest, OneClickOnTheLinkOpensTheAddressOnce) {
    support::TempDir dir;
    const std::wstring log = dir.File(L"launches.log");
    WebHandler handler(log);

    // A real click on the label, through the frame to the window.
    PostMessageW(form->Label2, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    PostMessageW(form->Label2, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    ASSERT_TRUE(support::WaitFor([&] { return ReadLines(log).size() >= 1; }));
    // Shown normally: a browser told to start hidden would seem to ignore the click.
    const std::string launch = Utf8(texts::WEB_ADDRESS) + "\t1";
    EXPECT_EQ(ReadLines(log)[0], launch);

    // A second, known launch: once it is logged, a second launch from the
    // click would have been logged too.
    const std::wstring logger = support::BinDir() + L"\\url_logger.exe";
    Shell::ShellOpen(logger.c_str(), L"Open", L"sentinel", nullptr, SW_SHOWNORMAL);
    ASSERT_TRUE(support::WaitFor([&] { return ReadLines(log).size() >= 2; }));
    const auto lines = ReadLines(log);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), launch), 1);
}

TEST_F(LinkTest, OnlyTheProgramsOwnAddressIsEverOpened) {
    support::TempDir dir;
    const std::wstring log = dir.File(L"launches.log");
    WebHandler handler(log);
    // Another program may rewrite the label's caption; the link keeps its address.
    SendMessageW(form->Label2, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"http://elsewhere.example/"));
    PostMessageW(form->Label2, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    PostMessageW(form->Label2, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    ASSERT_TRUE(support::WaitFor([&] { return ReadLines(log).size() >= 1; }));
    EXPECT_EQ(ReadLines(log)[0], Utf8(texts::WEB_ADDRESS) + "\t1");
}

TEST_F(LinkTest, EnterOnTheFocusedLinkOpensIt) {
    support::TempDir dir;
    const std::wstring log = dir.File(L"launches.log");
    WebHandler handler(log);
    SetFocus(form->Label2);
    ASSERT_EQ(GetFocus(), form->Label2);
    MSG enter = {form->Label2, WM_KEYDOWN, VK_RETURN, 0};
    EXPECT_TRUE(SendMessageW(form->Label2, WM_GETDLGCODE, VK_RETURN, reinterpret_cast<LPARAM>(&enter)) &
                DLGC_WANTMESSAGE)
        << "so that Enter does not press the default button instead";
    SendMessageW(form->Label2, WM_KEYDOWN, VK_RETURN, 0);
    ASSERT_TRUE(support::WaitFor([&] { return ReadLines(log).size() >= 1; }));
    EXPECT_EQ(ReadLines(log)[0], Utf8(texts::WEB_ADDRESS) + "\t1");
}

TEST_F(LinkTest, TheLinkShowsAHandCursor) {
    POINT inside = {2, 2};
    ClientToScreen(form->Label2, &inside);
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    SendMessageW(form->Label2, WM_SETCURSOR, reinterpret_cast<WPARAM>(form->Label2),
                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND));
}

}  // namespace
