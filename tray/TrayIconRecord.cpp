#include "tray/TrayIconRecord.h"

#include <cstring>

namespace tray {

namespace {

void PutLittleEndian(TrayRecordBytes& bytes, size_t offset, uint32_t value) {
    for (size_t i = 0; i < 4; ++i) bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
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

TrayRecordBytes RecordBytes(const TrayIconRecord& record) {
    TrayRecordBytes bytes = {};
    PutLittleEndian(bytes, 0, TRAY_RECORD_SIZE);
    PutLittleEndian(bytes, 4, record.hWnd);
    PutLittleEndian(bytes, 8, record.uID);
    PutLittleEndian(bytes, 12, record.uFlags);
    PutLittleEndian(bytes, 16, record.uCallbackMessage);
    PutLittleEndian(bytes, 20, record.hIcon);
    std::memcpy(bytes.data() + 24, record.szTip.data(), TIP_FIELD_SIZE);
    return bytes;
}

}  // namespace tray
