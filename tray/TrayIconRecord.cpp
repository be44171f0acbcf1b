#include "tray/TrayIconRecord.h"

#include <cstring>

namespace tray {

namespace {

void PutLittleEndian(TrayRecordBytes& bytes, size_t offset, uint32_t value) {
    for (size_t i = 0; i < 4; ++i) bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

TipField MakeTipField(const wchar_t* text, UINT code_page) {
    int chars = 0;
    while (text && chars < static_cast<int>(TIP_MAX_CHARS) && text[chars]) ++chars;

    char narrow[TIP_MAX_CHARS * 2 + 2] = {};
    int length =
        chars == 0 ? 0 : WideCharToMultiByte(code_page, 0, text, chars, narrow, sizeof narrow - 1, nullptr, nullptr);
    if (length < 0) length = 0;
    // In a double-byte code page 63 characters can take more bytes than the
    // field holds: cut at a character boundary.
    int kept = 0;
    while (kept < length) {
        int step = IsDBCSLeadByteEx(code_page, static_cast<BYTE>(narrow[kept])) ? 2 : 1;
        if (kept + step > static_cast<int>(TIP_MAX_CHARS)) break;
        kept += step;
    }

    TipField field;
    field.fill(' ');
    std::memcpy(field.data(), narrow, static_cast<size_t>(kept));
    field[static_cast<size_t>(kept)] = '\0';
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
