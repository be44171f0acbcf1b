// The notification-area icon's record, in the shell's first 8-bit layout
// (88 bytes in a 32-bit process), built byte for byte so that what the shell
// gets is exactly known.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <array>
#include <cstdint>

namespace tray {

inline constexpr UINT TRAY_CALLBACK_MESSAGE = 2025;

// Where the fields lie: handles take a pointer's width and are aligned to it,
// so a 64-bit process's record is longer than the 32-bit one.
struct RecordLayout {
    uint32_t size, hWnd, uID, uFlags, uCallbackMessage, hIcon, szTip, handleBytes;
};
inline constexpr RecordLayout LAYOUT_X86 = {88, 4, 8, 12, 16, 20, 24, 4};
inline constexpr RecordLayout LAYOUT_X64 = {104, 8, 16, 20, 24, 32, 40, 8};
// The shell reads the layout of the process that calls it.
inline constexpr RecordLayout NATIVE_LAYOUT = sizeof(void*) == 4 ? LAYOUT_X86 : LAYOUT_X64;

inline constexpr size_t TIP_FIELD_SIZE = 64;
inline constexpr size_t TIP_MAX_BYTES = TIP_FIELD_SIZE - 1;  // room for the NUL
inline constexpr size_t MAX_RECORD_SIZE = LAYOUT_X64.size;

inline constexpr uint32_t FLAGS_ADD = NIF_MESSAGE | NIF_ICON;  // 3
inline constexpr uint32_t FLAGS_TIP = NIF_TIP;                 // 4
inline constexpr uint32_t FLAGS_ICON = NIF_ICON;               // 2
inline constexpr uint32_t FLAGS_DELETE = 0;

using TipField = std::array<char, TIP_FIELD_SIZE>;

struct TrayIconRecord {
    uint64_t hWnd = 0;
    uint32_t uID = 0;
    uint32_t uFlags = 0;
    uint32_t uCallbackMessage = 0;
    uint64_t hIcon = 0;
    TipField szTip = {};
};

// A record as the shell reads it: its first `size` bytes, aligned for the
// shell's structure.
struct TrayRecordBytes {
    alignas(8) std::array<uint8_t, MAX_RECORD_SIZE> bytes;
    uint32_t size;
    const uint8_t* data() const { return bytes.data(); }
    uint8_t* data() { return bytes.data(); }
};

// The tip in the given 8-bit code page: as many whole characters as fit in
// 63 bytes, one NUL, then blanks to the end of the field.
TipField MakeTipField(const wchar_t* text, UINT code_page);

// The record in the layout, written into a zero-filled buffer.
TrayRecordBytes RecordBytes(const TrayIconRecord& record, const RecordLayout& layout = NATIVE_LAYOUT);

}  // namespace tray
