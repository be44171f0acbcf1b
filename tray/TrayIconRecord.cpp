#include "tray/TrayIconRecord.h"

#include <cstddef>
#include <cstring>

namespace tray {

namespace {

// The layout this process's shell reads is the SDK's own, in both forms.
template <typename Data>
constexpr bool IsNativeLayout(uint32_t size, bool wide) {
    return NATIVE_LAYOUT.hWnd == offsetof(Data, hWnd) && NATIVE_LAYOUT.uID == offsetof(Data, uID) &&
           NATIVE_LAYOUT.uFlags == offsetof(Data, uFlags) &&
           NATIVE_LAYOUT.uCallbackMessage == offsetof(Data, uCallbackMessage) &&
           NATIVE_LAYOUT.hIcon == offsetof(Data, hIcon) && NATIVE_LAYOUT.szTip == offsetof(Data, szTip) &&
           NATIVE_LAYOUT.handleBytes == sizeof(HWND) && RecordSize(NATIVE_LAYOUT, wide) == size;
}
static_assert(IsNativeLayout<NOTIFYICONDATAA>(NOTIFYICONDATAA_V1_SIZE, false));
static_assert(IsNativeLayout<NOTIFYICONDATAW>(NOTIFYICONDATAW_V1_SIZE, true));
static_assert(sizeof(void*) != 4 || NOTIFYICONDATAA_V1_SIZE == 88);

void PutLittleEndian(TrayRecordBytes& record, size_t offset, uint64_t value, size_t width) {
    for (size_t i = 0; i < width; ++i) record.bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

// The next character's length in UTF-16 units: a surrogate pair stays whole.
int CharacterUnits(const wchar_t* at) { return IS_HIGH_SURROGATE(at[0]) && IS_LOW_SURROGATE(at[1]) ? 2 : 1; }

}  // namespace

// One character at a time, until the next one would not fit: the field is
// cut on a character boundary whatever the code page, single-byte,
// double-byte or UTF-8.
TipField MakeTipField(const wchar_t* text, UINT code_page) {
    TipField field;
    field.fill(' ');
    size_t kept = 0;
    for (size_t at = 0; text && text[at];) {
        const int units = CharacterUnits(text + at);
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

WideTipField MakeWideTipField(const wchar_t* text) {
    WideTipField field = {};
    size_t kept = 0;
    for (size_t at = 0; text && text[at];) {
        const size_t units = static_cast<size_t>(CharacterUnits(text + at));
        if (kept + units > TIP_MAX_BYTES) break;
        for (size_t i = 0; i < units; ++i) field[kept++] = text[at++];
    }
    return field;
}

bool NeedsWideTip(const wchar_t* text, UINT code_page) {
    BOOL lossy = FALSE;
    // UTF-8 and UTF-7 take no default character: their lengths alone tell.
    const bool unicode = code_page == CP_UTF8 || code_page == CP_UTF7;
    const int bytes = WideCharToMultiByte(code_page, unicode ? 0 : WC_NO_BEST_FIT_CHARS, text, -1, nullptr, 0, nullptr,
                                          unicode ? nullptr : &lossy);
    return bytes <= 0 || lossy || static_cast<size_t>(bytes) - 1 > TIP_MAX_BYTES;
}

TrayRecordBytes RecordBytes(const TrayIconRecord& record, const RecordLayout& layout) {
    TrayRecordBytes out = {};
    out.size = RecordSize(layout, record.wide);
    out.wide = record.wide;
    PutLittleEndian(out, 0, out.size, 4);
    PutLittleEndian(out, layout.hWnd, record.hWnd, layout.handleBytes);
    PutLittleEndian(out, layout.uID, record.uID, 4);
    PutLittleEndian(out, layout.uFlags, record.uFlags, 4);
    PutLittleEndian(out, layout.uCallbackMessage, record.uCallbackMessage, 4);
    PutLittleEndian(out, layout.hIcon, record.hIcon, layout.handleBytes);
    if (record.wide) {
        for (size_t i = 0; i < TIP_FIELD_SIZE; ++i)
            PutLittleEndian(out, layout.szTip + 2 * i, static_cast<uint16_t>(record.szTipW[i]), 2);
    } else {
        std::memcpy(out.bytes.data() + layout.szTip, record.szTip.data(), TIP_FIELD_SIZE);
    }
    return out;
}

}  // namespace tray
