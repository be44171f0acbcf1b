#include "settings/Language.h"

namespace settings {

namespace {

// Kept here rather than taken from Settings.h: the command line reads the
// language without the rest of the settings.
constexpr wchar_t KEY[] = L"Software\\Varnosklen";
constexpr wchar_t GREEK_TEXT[] = L"el";
constexpr wchar_t ENGLISH_TEXT[] = L"en";

}  // namespace

Language ChooseLanguage(LanguageChoice choice, LANGID user_ui_language) {
    switch (choice) {
    case LanguageChoice::Greek: return Language::Greek;
    case LanguageChoice::English: return Language::English;
    case LanguageChoice::Automatic: break;
    }
    return PRIMARYLANGID(user_ui_language) == LANG_GREEK ? Language::Greek : Language::English;
}

LanguageChoice ParseLanguageChoice(const wchar_t* stored) {
    if (lstrcmpiW(stored, GREEK_TEXT) == 0) return LanguageChoice::Greek;
    if (lstrcmpiW(stored, ENGLISH_TEXT) == 0) return LanguageChoice::English;
    return LanguageChoice::Automatic;
}

const wchar_t* LanguageChoiceText(LanguageChoice choice) {
    switch (choice) {
    case LanguageChoice::Greek: return GREEK_TEXT;
    case LanguageChoice::English: return ENGLISH_TEXT;
    case LanguageChoice::Automatic: break;
    }
    return L"";
}

LanguageChoice ReadLanguageChoice() {
    wchar_t text[8] = {};
    DWORD bytes = sizeof text;
    if (RegGetValueW(HKEY_CURRENT_USER, KEY, LANGUAGE_VALUE, RRF_RT_REG_SZ, nullptr, text, &bytes) != ERROR_SUCCESS)
        return LanguageChoice::Automatic;
    return ParseLanguageChoice(text);
}

// Automatic is no value at all, as on a new installation.
bool WriteLanguageChoice(LanguageChoice choice) {
    if (choice == LanguageChoice::Automatic) {
        const LSTATUS removed = RegDeleteKeyValueW(HKEY_CURRENT_USER, KEY, LANGUAGE_VALUE);
        return removed == ERROR_SUCCESS || removed == ERROR_FILE_NOT_FOUND || removed == ERROR_PATH_NOT_FOUND;
    }
    const wchar_t* text = LanguageChoiceText(choice);
    const DWORD bytes = static_cast<DWORD>((lstrlenW(text) + 1) * sizeof(wchar_t));
    return RegSetKeyValueW(HKEY_CURRENT_USER, KEY, LANGUAGE_VALUE, REG_SZ, text, bytes) == ERROR_SUCCESS;
}

Language LanguageInEffect() { return ChooseLanguage(ReadLanguageChoice(), GetUserDefaultUILanguage()); }

}  // namespace settings
