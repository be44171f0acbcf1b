// The notification-area icon's record, in the shell's first (88-byte) 8-bit
// layout, built byte for byte so that what the shell gets is exactly known.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <array>
#include <cstdint>

namespace tray {

inline constexpr UINT TRAY_CALLBACK_MESSAGE = 2025;

inline constexpr uint32_t TRAY_RECORD_SIZE = 88;
inline constexpr size_t TIP_FIELD_SIZE = 64;
inline constexpr size_t TIP_MAX_BYTES = TIP_FIELD_SIZE - 1;  // room for the NUL

inline constexpr uint32_t FLAGS_ADD = NIF_MESSAGE | NIF_ICON;  // 3
inline constexpr uint32_t FLAGS_TIP = NIF_TIP;                 // 4
inline constexpr uint32_t FLAGS_ICON = NIF_ICON;               // 2
inline constexpr uint32_t FLAGS_DELETE = 0;

using TipField = std::array<char, TIP_FIELD_SIZE>;
using TrayRecordBytes = std::array<uint8_t, TRAY_RECORD_SIZE>;

struct TrayIconRecord {
    uint32_t hWnd = 0;
    uint32_t uID = 0;
    uint32_t uFlags = 0;
    uint32_t uCallbackMessage = 0;
    uint32_t hIcon = 0;
    TipField szTip = {};
};

// The tip in the given 8-bit code page: as many whole characters as fit in
// 63 bytes, one NUL, then blanks to the end of the field.
TipField MakeTipField(const wchar_t* text, UINT code_page);

// The record as the shell reads it, written into a zero-filled buffer.
TrayRecordBytes RecordBytes(const TrayIconRecord& record);

}  // namespace tray
