#include "window/Texts.h"

#include "window/TextsEnglish.h"

namespace {

using settings::Language;
namespace en = texts::english;

constexpr int COUNT = static_cast<int>(TextId::Count);

// Each language's texts in the order of TextId.
const wchar_t* const GREEK[] = {
    texts::CAPTION,
    texts::FRAME1,
    texts::LABEL1,
    texts::LABEL2_TOOLTIP,
    texts::SEARCHING,
    texts::COMMAND1,
    texts::LABEL3,
    texts::ABSENT,
    texts::PRESENT,
    texts::SHORT_ABSENT,
    texts::SHORT_PRESENT,
    texts::LIBRARY_MISSING,
    texts::LIBRARY_INCOMPLETE,
    texts::LIBRARY_OTHER_ARCHITECTURE,
    texts::MNU_TRAY_RESTORE,
    texts::MNU_TRAY_CLOSE,
    texts::MNU_TRAY_START_WITH_WINDOWS,
    texts::TRAY_TIP,
    texts::MNU_SETTINGS,
    texts::SYSTEM_MENU_SETTINGS,
    texts::HOTKEY_NOT_ALLOWED,
    texts::HOTKEY_TAKEN,
    texts::NOTICE_TITLE,
    texts::NOTICE_LEFT_BUS,
    texts::NOTICE_BACK_ON_BUS,
    texts::NOTICE_LIBRARY_MISSING,
    texts::NOTICE_LIBRARY_INCOMPLETE,
    texts::NOTICE_LIBRARY_OTHER_ARCHITECTURE,
    texts::NOTICE_LIBRARY_BACK_PRESENT,
    texts::NOTICE_LIBRARY_BACK_ABSENT,
    texts::SETTINGS_CAPTION,
    texts::SETTINGS_HOTKEY_LABEL,
    texts::SETTINGS_NO_HOTKEY,
    texts::SETTINGS_START_WITH_WINDOWS,
    texts::SETTINGS_NOTIFICATIONS,
    texts::SETTINGS_LANGUAGE_LABEL,
    texts::SETTINGS_LANGUAGE_AUTOMATIC,
    texts::SETTINGS_OK,
    texts::SETTINGS_CANCEL,
    texts::SETTINGS_PRINTER_LABEL,
    texts::PRINTER_NONE,
    texts::PRINTER_GONE,
    texts::PRINT_SWITCH_UNAVAILABLE,
    texts::NOTICE_PRINT_SWITCHED,
    texts::NOTICE_PRINT_WAITS,
    texts::PRESS_NOT_MADE,
    texts::NOTICE_PRESS_NOT_MADE,
    texts::PRINTER_CONNECTION,
    texts::NOTICE_PRINT_SWITCHED_OFFLINE,
};

const wchar_t* const ENGLISH[] = {
    texts::CAPTION,
    en::FRAME1,
    en::LABEL1,
    en::LABEL2_TOOLTIP,
    en::SEARCHING,
    en::COMMAND1,
    en::LABEL3,
    en::ABSENT,
    en::PRESENT,
    en::SHORT_ABSENT,
    en::SHORT_PRESENT,
    en::LIBRARY_MISSING,
    en::LIBRARY_INCOMPLETE,
    en::LIBRARY_OTHER_ARCHITECTURE,
    en::MNU_TRAY_RESTORE,
    en::MNU_TRAY_CLOSE,
    en::MNU_TRAY_START_WITH_WINDOWS,
    en::TRAY_TIP,
    en::MNU_SETTINGS,
    en::SYSTEM_MENU_SETTINGS,
    en::HOTKEY_NOT_ALLOWED,
    en::HOTKEY_TAKEN,
    texts::NOTICE_TITLE,
    en::NOTICE_LEFT_BUS,
    en::NOTICE_BACK_ON_BUS,
    en::NOTICE_LIBRARY_MISSING,
    en::NOTICE_LIBRARY_INCOMPLETE,
    en::NOTICE_LIBRARY_OTHER_ARCHITECTURE,
    en::NOTICE_LIBRARY_BACK_PRESENT,
    en::NOTICE_LIBRARY_BACK_ABSENT,
    en::SETTINGS_CAPTION,
    en::SETTINGS_HOTKEY_LABEL,
    en::SETTINGS_NO_HOTKEY,
    en::SETTINGS_START_WITH_WINDOWS,
    en::SETTINGS_NOTIFICATIONS,
    en::SETTINGS_LANGUAGE_LABEL,
    en::SETTINGS_LANGUAGE_AUTOMATIC,
    texts::SETTINGS_OK,
    en::SETTINGS_CANCEL,
    en::SETTINGS_PRINTER_LABEL,
    en::PRINTER_NONE,
    en::PRINTER_GONE,
    en::PRINT_SWITCH_UNAVAILABLE,
    en::NOTICE_PRINT_SWITCHED,
    en::NOTICE_PRINT_WAITS,
    en::PRESS_NOT_MADE,
    en::NOTICE_PRESS_NOT_MADE,
    en::PRINTER_CONNECTION,
    en::NOTICE_PRINT_SWITCHED_OFFLINE,
};
static_assert(sizeof GREEK / sizeof GREEK[0] == COUNT && sizeof ENGLISH / sizeof ENGLISH[0] == COUNT,
              "a text for every id in every language");

Language inUse = Language::Greek;

}  // namespace

const wchar_t* TextIn(Language language, TextId id) {
    const int index = static_cast<int>(id);
    if (index < 0 || index >= COUNT) return L"";
    return (language == Language::Greek ? GREEK : ENGLISH)[index];
}

const wchar_t* Text(TextId id) { return TextIn(inUse, id); }

void UseLanguage(Language language) { inUse = language; }

Language LanguageInUse() { return inUse; }
