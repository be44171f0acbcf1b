// Reads the icon, version record and manifest back out of the built
// Varnosklen.exe, which sits in the same folder as this test.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "resources/resource_ids.h"

namespace {

std::wstring ProgramPath() {
    std::vector<wchar_t> buf(MAX_PATH);
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) return L"";
        if (n < buf.size()) {
            std::wstring self(buf.data(), n);
            return self.substr(0, self.find_last_of(L"\\/") + 1) + L"Varnosklen.exe";
        }
        buf.resize(buf.size() * 2);
    }
}

uint16_t Word(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}
uint32_t Dword(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
size_t Align4(size_t n) { return (n + 3) & ~size_t(3); }

// One node of the raw version data: header, key, value, then child nodes.
struct VersionNode {
    std::wstring key;
    uint16_t type = 0;
    std::vector<uint8_t> value;
    std::vector<VersionNode> children;
};

// Parses the node at data[pos, end); returns false on a malformed layout.
bool ParseNode(const uint8_t* data, size_t pos, size_t end, VersionNode& node) {
    if (pos + 6 > end) return false;
    size_t length = Word(data + pos);
    size_t valueLength = Word(data + pos + 2);
    node.type = Word(data + pos + 4);
    size_t nodeEnd = pos + length;
    if (length < 6 || nodeEnd > end) return false;
    size_t p = pos + 6;
    for (;;) {
        if (p + 2 > nodeEnd) return false;
        wchar_t c = static_cast<wchar_t>(Word(data + p));
        p += 2;
        if (c == 0) break;
        node.key += c;
    }
    p = pos + Align4(p - pos);
    // Text values count characters, binary values count bytes.
    size_t valueBytes = node.type == 1 ? valueLength * 2 : valueLength;
    if (p + valueBytes > nodeEnd) return false;
    node.value.assign(data + p, data + p + valueBytes);
    p = pos + Align4(p + valueBytes - pos);
    while (p < nodeEnd) {
        VersionNode child;
        if (!ParseNode(data, p, nodeEnd, child)) return false;
        p = pos + Align4(p + Word(data + p) - pos);
        node.children.push_back(std::move(child));
    }
    return true;
}

std::wstring TextValue(const VersionNode& n) {
    std::wstring s;
    for (size_t i = 0; i + 1 < n.value.size(); i += 2) {
        wchar_t c = static_cast<wchar_t>(Word(n.value.data() + i));
        if (c == 0) break;
        s += c;
    }
    return s;
}

class ResourcesTest : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = ProgramPath();
        module_ = LoadLibraryExW(path_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(module_, nullptr) << "cannot load Varnosklen.exe, error " << GetLastError();
    }
    void TearDown() override {
        if (module_) FreeLibrary(module_);
    }

    // The bytes of one resource, empty when missing.
    std::vector<uint8_t> Resource(LPCWSTR type, LPCWSTR name) {
        HRSRC r = FindResourceW(module_, name, type);
        if (!r) return {};
        HGLOBAL g = LoadResource(module_, r);
        const uint8_t* p = g ? static_cast<const uint8_t*>(LockResource(g)) : nullptr;
        if (!p) return {};
        return std::vector<uint8_t>(p, p + SizeofResource(module_, r));
    }

    std::wstring path_;
    HMODULE module_ = nullptr;
};

const wchar_t* const kStrings[][2] = {
    {L"ProductName", L"Project1"},
    {L"FileVersion", L"1.00"},
    {L"ProductVersion", L"1.00"},
    {L"InternalName", L"Varnosklen"},
    {L"OriginalFilename", L"Varnosklen.exe"},
};

TEST_F(ResourcesTest, VersionRecord) {
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(path_.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<uint8_t> data(size);
    ASSERT_TRUE(GetFileVersionInfoW(path_.c_str(), 0, size, data.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &len));
    ASSERT_GE(len, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0u);
    EXPECT_EQ(fixed->dwFileFlagsMask, 0u);
    EXPECT_EQ(fixed->dwFileFlags, 0u);
    EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS__WINDOWS32));
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
    EXPECT_EQ(fixed->dwFileSubtype, 0u);

    WORD* translation = nullptr;
    ASSERT_TRUE(
        VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &len));
    ASSERT_EQ(len, 4u);
    EXPECT_EQ(translation[0], 0x409);
    EXPECT_EQ(translation[1], 1200);

    for (const auto& s : kStrings) {
        std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + s[0];
        wchar_t* value = nullptr;
        ASSERT_TRUE(VerQueryValueW(data.data(), query.c_str(), reinterpret_cast<void**>(&value), &len))
            << "missing string";
        EXPECT_EQ(std::wstring(value), s[1]);
    }

    // Nothing beyond the five strings, in one string table.
    VersionNode root;
    ASSERT_TRUE(ParseNode(data.data(), 0, data.size(), root));
    EXPECT_EQ(root.key, L"VS_VERSION_INFO");
    const VersionNode* stringInfo = nullptr;
    std::set<std::wstring> rootKeys;
    for (const auto& c : root.children) {
        rootKeys.insert(c.key);
        if (c.key == L"StringFileInfo") stringInfo = &c;
    }
    EXPECT_EQ(root.children.size(), 2u);
    EXPECT_EQ(rootKeys, (std::set<std::wstring>{L"StringFileInfo", L"VarFileInfo"}));
    ASSERT_NE(stringInfo, nullptr);
    ASSERT_EQ(stringInfo->children.size(), 1u);
    const VersionNode& table = stringInfo->children[0];
    EXPECT_EQ(table.key, L"040904B0");

    std::set<std::wstring> expectedNames, names;
    for (const auto& s : kStrings) expectedNames.insert(s[0]);
    for (const auto& c : table.children) names.insert(c.key);
    EXPECT_EQ(table.children.size(), 5u);
    EXPECT_EQ(names, expectedNames);
    for (const auto& c : table.children) {
        for (const auto& s : kStrings) {
            if (c.key == s[0]) {
                EXPECT_EQ(TextValue(c), s[1]);
            }
        }
    }
}

enum Colour : uint32_t {
    kTransparent = 0xFFFFFFFF,
    kBlack = 0x000000,
    kMagenta = 0xFF00FF,
    kCyan = 0x00FFFF,
    kRed = 0xFF0000,
};

// The intended picture, row and column from the top-left corner.
Colour Expected(int row, int col) {
    auto in = [](int v, int lo, int hi) { return v >= lo && v <= hi; };
    if (in(row, 0, 3)) return !in(col, 3, 12) ? kTransparent : (in(row, 1, 2) && in(col, 4, 11)) ? kMagenta : kBlack;
    if (in(row, 4, 6)) return (col == 6 || col == 9) ? kCyan : kTransparent;
    if (row == 7) return (in(col, 3, 6) || in(col, 9, 12)) ? kCyan : kTransparent;
    if (in(row, 8, 9)) return (col == 3 || col == 12) ? kCyan : kTransparent;
    if (!in(col, 1, 5) && !in(col, 10, 14)) return kTransparent;
    return (in(row, 11, 14) && (in(col, 2, 4) || in(col, 11, 13))) ? kRed : kBlack;
}

BOOL CALLBACK KeepFirstName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR param) {
    *reinterpret_cast<LPCWSTR*>(param) = name;
    return FALSE;
}

TEST_F(ResourcesTest, IconIsLowestGroupIcon) {
    // Explorer shows the first group icon, so IDI_MAIN must come first.
    LPCWSTR first = nullptr;
    EnumResourceNamesW(module_, RT_GROUP_ICON, KeepFirstName, reinterpret_cast<LONG_PTR>(&first));
    ASSERT_NE(first, nullptr);
    ASSERT_TRUE(IS_INTRESOURCE(first));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(first), static_cast<uintptr_t>(IDI_MAIN));
    EXPECT_EQ(IDI_MAIN, 1);
}

TEST_F(ResourcesTest, IconPixels) {
    std::vector<uint8_t> group = Resource(RT_GROUP_ICON, MAKEINTRESOURCEW(IDI_MAIN));
    ASSERT_GE(group.size(), 6u + 14u);
    EXPECT_EQ(Word(&group[0]), 0);
    EXPECT_EQ(Word(&group[2]), 1);  // icon, not cursor
    ASSERT_EQ(Word(&group[4]), 1);  // one image
    ASSERT_EQ(group.size(), 6u + 14u);
    const uint8_t* e = &group[6];
    EXPECT_EQ(e[0], 16);        // width
    EXPECT_EQ(e[1], 16);        // height
    EXPECT_EQ(e[2], 16);        // colours
    EXPECT_EQ(Word(e + 4), 1);  // planes
    EXPECT_EQ(Word(e + 6), 4);  // bits per pixel
    uint32_t bytes = Dword(e + 8);
    uint16_t id = Word(e + 12);

    std::vector<uint8_t> icon = Resource(RT_ICON, MAKEINTRESOURCEW(id));
    ASSERT_FALSE(icon.empty());
    EXPECT_EQ(icon.size(), bytes);
    ASSERT_GE(icon.size(), sizeof(BITMAPINFOHEADER));
    BITMAPINFOHEADER h;
    std::memcpy(&h, icon.data(), sizeof h);
    EXPECT_EQ(h.biSize, sizeof(BITMAPINFOHEADER));
    EXPECT_EQ(h.biWidth, 16);
    EXPECT_EQ(h.biHeight, 32);  // XOR and AND bitmaps together
    EXPECT_EQ(h.biPlanes, 1);
    ASSERT_EQ(h.biBitCount, 4);
    ASSERT_EQ(h.biCompression, static_cast<DWORD>(BI_RGB));
    size_t colours = h.biClrUsed ? h.biClrUsed : 16;
    ASSERT_LE(colours, 16u);
    const size_t xorStride = 8, andStride = 4;
    size_t paletteAt = h.biSize, xorAt = paletteAt + colours * 4, andAt = xorAt + 16 * xorStride;
    ASSERT_GE(icon.size(), andAt + 16 * andStride);

    for (int row = 0; row < 16; ++row) {
        int stored = 15 - row;  // bottom-up
        for (int col = 0; col < 16; ++col) {
            uint8_t pair = icon[xorAt + stored * xorStride + col / 2];
            size_t index = col % 2 == 0 ? pair >> 4 : pair & 0x0F;
            bool andBit = (icon[andAt + stored * andStride + col / 8] >> (7 - col % 8)) & 1;
            ASSERT_LT(index, colours);
            const uint8_t* q = &icon[paletteAt + index * 4];  // blue, green, red, 0
            uint32_t rgb = (uint32_t(q[2]) << 16) | (uint32_t(q[1]) << 8) | q[0];
            Colour want = Expected(row, col);
            SCOPED_TRACE(testing::Message() << "row " << row << ", column " << col);
            if (want == kTransparent) {
                EXPECT_TRUE(andBit) << "should be transparent";
                EXPECT_EQ(rgb, 0u) << "transparent pixels need black in the XOR bitmap";
            } else {
                EXPECT_FALSE(andBit) << "should be opaque";
                EXPECT_EQ(rgb, static_cast<uint32_t>(want)) << std::hex << "colour 0x" << rgb;
            }
        }
    }

    HICON handle = CreateIconFromResourceEx(icon.data(), static_cast<DWORD>(icon.size()), TRUE, 0x00030000, 16, 16,
                                            LR_DEFAULTCOLOR);
    ASSERT_NE(handle, nullptr) << "error " << GetLastError();
    DestroyIcon(handle);
}

TEST_F(ResourcesTest, Manifest) {
    std::vector<uint8_t> m = Resource(RT_MANIFEST, CREATEPROCESS_MANIFEST_RESOURCE_ID);
    ASSERT_FALSE(m.empty());
    std::string text(m.begin(), m.end());
    EXPECT_NE(text.find("\">true/pm</dpiAware>"), std::string::npos);
    EXPECT_NE(text.find("\">PerMonitorV2, PerMonitor</dpiAwareness>"), std::string::npos);
    EXPECT_NE(text.find("Microsoft.Windows.Common-Controls"), std::string::npos);
    EXPECT_NE(text.find("asInvoker"), std::string::npos);
    EXPECT_EQ(text.find("activeCodePage"), std::string::npos);
}

}  // namespace
