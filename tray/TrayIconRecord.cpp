#include "tray/TrayIconRecord.h"

#include <cstddef>
#include <cstring>

namespace tray {

namespace {

// The layout this process's shell reads is the SDK's own.
static_assert(NATIVE_LAYOUT.size == NOTIFYICONDATAA_V1_SIZE);
static_assert(NATIVE_LAYOUT.hWnd == offsetof(NOTIFYICONDATAA, hWnd));
static_assert(NATIVE_LAYOUT.uID == offsetof(NOTIFYICONDATAA, uID));
static_assert(NATIVE_LAYOUT.uFlags == offsetof(NOTIFYICONDATAA, uFlags));
static_assert(NATIVE_LAYOUT.uCallbackMessage == offsetof(NOTIFYICONDATAA, uCallbackMessage));
static_assert(NATIVE_LAYOUT.hIcon == offsetof(NOTIFYICONDATAA, hIcon));
static_assert(NATIVE_LAYOUT.szTip == offsetof(NOTIFYICONDATAA, szTip));
static_assert(NATIVE_LAYOUT.handleBytes == sizeof(HWND) && sizeof(HWND) == sizeof(HICON));
static_assert(sizeof(NOTIFYICONDATAA::szTip) >= TIP_FIELD_SIZE);

void PutLittleEndian(TrayRecordBytes& record, size_t offset, uint64_t value, size_t width) {
    for (size_t i = 0; i < width; ++i) record.bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

// One character (a surrogate pair stays whole) at a time, until the next one
// would not fit: the field is cut on a character boundary whatever the code
// page, single-byte, double-byte or UTF-8.
TipField MakeTipField(const wchar_t* text, UINT code_page) {
    TipField field;
    field.fill(' ');
    size_t kept = 0;
    for (size_t at = 0; text && text[at];) {
        const int units = IS_HIGH_SURROGATE(text[at]) && IS_LOW_SURROGATE(text[at + 1]) ? 2 : 1;
        char bytes[8];
        const int length = WideCharToMultiByte(code_page, 0, text + at, units, bytes, sizeof bytes, nullptr, nullptr);
        if (length <= 0 || kept + static_cast<size_t>(length) > TIP_MAX_BYTES) break;
        std::memcpy(field.data() + kept, bytes, static_cast<size_t>(length));
        kept += static_cast<size_t>(length);
        at += static_cast<size_t>(units);
    }
    field[kept] = '\0';
    return field;
}

TrayRecordBytes RecordBytes(const TrayIconRecord& record, const RecordLayout& layout) {
    TrayRecordBytes out = {};
    out.size = layout.size;
    PutLittleEndian(out, 0, layout.size, 4);
    PutLittleEndian(out, layout.hWnd, record.hWnd, layout.handleBytes);
    PutLittleEndian(out, layout.uID, record.uID, 4);
    PutLittleEndian(out, layout.uFlags, record.uFlags, 4);
    PutLittleEndian(out, layout.uCallbackMessage, record.uCallbackMessage, 4);
    PutLittleEndian(out, layout.hIcon, record.hIcon, layout.handleBytes);
    std::memcpy(out.bytes.data() + layout.szTip, record.szTip.data(), TIP_FIELD_SIZE);
    return out;
}

}  // namespace tray
