// The icon, version record and manifest of the built Varnosklen.exe.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "support/TestSupport.h"

namespace {

class ResourcesTest : public testing::Test {
protected:
    void SetUp() override {
        module_ = LoadLibraryExW(path_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(module_, nullptr);
    }
    void TearDown() override { FreeLibrary(module_); }

    std::vector<uint8_t> Resource(LPCWSTR type, LPCWSTR name) const {
        HRSRC r = FindResourceW(module_, name, type);
        const auto* p = r ? static_cast<const uint8_t*>(LockResource(LoadResource(module_, r))) : nullptr;
        return p ? std::vector<uint8_t>(p, p + SizeofResource(module_, r)) : std::vector<uint8_t>();
    }

    std::wstring path_ = support::BinDir() + L"\\Varnosklen.exe";
    HMODULE module_ = nullptr;
};

// The UTF-16 texts of a version record between two of them, in order.
std::vector<std::wstring> TextsBetween(const std::vector<uint8_t>& data, const wchar_t* from, const wchar_t* to) {
    std::vector<std::wstring> texts;
    std::wstring current;
    for (size_t i = 0; i + 1 < data.size(); i += 2) {
        const wchar_t c = wchar_t(data[i] | data[i + 1] << 8);
        if (c >= 0x20 && c < 0x7F) {
            current += c;
            continue;
        }
        if (current.size() > 1) texts.push_back(current);
        current.clear();
    }
    const auto begin = std::find(texts.begin(), texts.end(), from), end = std::find(texts.begin(), texts.end(), to);
    return begin < end ? std::vector<std::wstring>(begin + 1, end) : std::vector<std::wstring>();
}

TEST_F(ResourcesTest, TheVersionRecordHasExactlyItsFiveStrings) {
    const std::vector<uint8_t> data = Resource(RT_VERSION, MAKEINTRESOURCEW(VS_VERSION_INFO));
    ASSERT_FALSE(data.empty());
    const std::vector<std::wstring> expected = {L"ProductName",      L"Project1",      L"FileVersion",  L"1.00",
                                                L"ProductVersion",   L"1.00",          L"InternalName", L"Varnosklen",
                                                L"OriginalFilename", L"Varnosklen.exe"};
    EXPECT_EQ(TextsBetween(data, L"040904B0", L"VarFileInfo"), expected);

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(std::vector<DWORD>({fixed->dwFileVersionMS, fixed->dwFileVersionLS, fixed->dwProductVersionMS,
                                  fixed->dwProductVersionLS, fixed->dwFileFlags, fixed->dwFileOS, fixed->dwFileType}),
              std::vector<DWORD>({0x00010000, 0, 0x00010000, 0, 0, VOS__WINDOWS32, VFT_APP}));
    WORD* translation = nullptr;
    ASSERT_TRUE(
        VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
    EXPECT_EQ(std::vector<WORD>(translation, translation + 2), std::vector<WORD>({0x409, 1200}))
        << "US English, Unicode";
}

// Each icon is the one generated from its pixel maps, with an image of each
// size the caption and the notification area take up to 144 dpi: Windows
// never has to stretch one.
TEST_F(ResourcesTest, EachIconIsTheOneMadeFromItsPixelMapsInEverySize) {
    const std::pair<WORD, const wchar_t*> icons[] = {{IDI_MAIN, L"varnosklen.ico"},
                                                     {IDI_PRESENT, L"varnosklen-present.ico"},
                                                     {IDI_ABSENT, L"varnosklen-absent.ico"},
                                                     {IDI_LIBRARY, L"varnosklen-library.ico"}};
    for (const auto& [id, name] : icons) {
        SCOPED_TRACE(testing::Message() << name);
        const std::string file = support::ReadBytes(support::BinDir() + L"\\..\\resources\\" + name);
        const std::vector<uint8_t> ico(file.begin(), file.end());
        const std::vector<uint8_t> group = Resource(RT_GROUP_ICON, MAKEINTRESOURCEW(id));
        ASSERT_GT(group.size(), 6u);
        ASSERT_TRUE(std::equal(group.begin(), group.begin() + 6, ico.begin())) << "the same header";
        std::vector<int> sizes;
        // A group's entry is the file's, with the image's resource id in place of its offset.
        for (size_t entry = 6, in_file = 6; entry + 14 <= group.size(); entry += 14, in_file += 16) {
            ASSERT_TRUE(std::equal(group.begin() + entry, group.begin() + entry + 12, ico.begin() + in_file));
            DWORD size, offset;
            CopyMemory(&size, ico.data() + in_file + 8, 4);
            CopyMemory(&offset, ico.data() + in_file + 12, 4);
            EXPECT_EQ(Resource(RT_ICON, MAKEINTRESOURCEW(group[entry + 12] | group[entry + 13] << 8)),
                      std::vector<uint8_t>(ico.begin() + offset, ico.begin() + offset + size));
            sizes.push_back(group[entry]);
        }
        EXPECT_EQ(sizes, (std::vector<int>{16, 20, 24, 32, 48}));
    }
}

TEST_F(ResourcesTest, TheManifestAsksForStylesPerMonitorScalingAndNoElevationOnItsArchitecture) {
    const std::vector<uint8_t> m = Resource(RT_MANIFEST, CREATEPROCESS_MANIFEST_RESOURCE_ID);
    const std::string text(m.begin(), m.end());
    const char* architecture = sizeof(void*) == 4
                                   ? "name=\"Varnosklen\" version=\"1.0.0.0\" processorArchitecture=\"x86\""
                                   : "name=\"Varnosklen\" version=\"1.0.0.0\" processorArchitecture=\"amd64\"";
    for (const char* wanted : {"Microsoft.Windows.Common-Controls", "\">true/pm</dpiAware>",
                               "\">PerMonitorV2, PerMonitor</dpiAwareness>", "\"asInvoker\"", architecture}) {
        EXPECT_NE(text.find(wanted), std::string::npos) << wanted;
    }
}

}  // namespace
