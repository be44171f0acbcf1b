// The notification-area icon's record, in the shell's first layout, built
// byte for byte so that what the shell gets is exactly known. The tip is
// 8-bit (88 bytes in a 32-bit process) where the system's code page holds it
// whole, else UTF-16.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <array>
#include <cstdint>

namespace tray {

inline constexpr UINT TRAY_CALLBACK_MESSAGE = 2025;

// Where the fields lie: handles take a pointer's width and are aligned to it,
// so a 64-bit process's record is longer than the 32-bit one. The tip comes
// last, 64 characters of one or two bytes.
struct RecordLayout {
    uint32_t hWnd, uID, uFlags, uCallbackMessage, hIcon, szTip, handleBytes;
};
inline constexpr RecordLayout LAYOUT_X86 = {4, 8, 12, 16, 20, 24, 4};
inline constexpr RecordLayout LAYOUT_X64 = {8, 16, 20, 24, 32, 40, 8};
// The shell reads the layout of the process that calls it.
inline constexpr RecordLayout NATIVE_LAYOUT = sizeof(void*) == 4 ? LAYOUT_X86 : LAYOUT_X64;

inline constexpr size_t TIP_FIELD_SIZE = 64;                 // characters
inline constexpr size_t TIP_MAX_BYTES = TIP_FIELD_SIZE - 1;  // room for the NUL
inline constexpr uint32_t RecordSize(const RecordLayout& layout, bool wide) {
    return layout.szTip + static_cast<uint32_t>(TIP_FIELD_SIZE * (wide ? sizeof(wchar_t) : 1));
}
inline constexpr size_t MAX_RECORD_SIZE = RecordSize(LAYOUT_X64, true);

inline constexpr uint32_t FLAGS_ADD = NIF_MESSAGE | NIF_ICON;  // 3
inline constexpr uint32_t FLAGS_TIP = NIF_TIP;                 // 4
inline constexpr uint32_t FLAGS_ICON = NIF_ICON;               // 2
inline constexpr uint32_t FLAGS_DELETE = 0;

using TipField = std::array<char, TIP_FIELD_SIZE>;
using WideTipField = std::array<wchar_t, TIP_FIELD_SIZE>;

struct TrayIconRecord {
    uint64_t hWnd = 0;
    uint32_t uID = 0;
    uint32_t uFlags = 0;
    uint32_t uCallbackMessage = 0;
    uint64_t hIcon = 0;
    bool wide = false;  // which tip the shell gets
    TipField szTip = {};
    WideTipField szTipW = {};
};

// A record as the shell reads it: its first `size` bytes, aligned for the
// shell's structure, to be handed to Shell_NotifyIconW when wide.
struct TrayRecordBytes {
    alignas(8) std::array<uint8_t, MAX_RECORD_SIZE> bytes;
    uint32_t size;
    bool wide;
    const uint8_t* data() const { return bytes.data(); }
    uint8_t* data() { return bytes.data(); }
};

// The tip in the given 8-bit code page: as many whole characters as fit in
// 63 bytes, one NUL, then blanks to the end of the field.
TipField MakeTipField(const wchar_t* text, UINT code_page);
// The tip in UTF-16: as many whole characters as fit in 63 units, then NULs.
WideTipField MakeWideTipField(const wchar_t* text);
// Whether the code page cannot hold the whole text in the 8-bit tip: a
// character it lacks, or more than 63 bytes.
bool NeedsWideTip(const wchar_t* text, UINT code_page);

// The record in the layout, written into a zero-filled buffer.
TrayRecordBytes RecordBytes(const TrayIconRecord& record, const RecordLayout& layout = NATIVE_LAYOUT);

}  // namespace tray
