// Which language the program speaks: Greek where the user's display language
// is Greek, English everywhere else, unless the user chose one in the
// settings (a string under HKCU\Software\Varnosklen: "el" or "en"; absent or
// anything else is automatic).
#pragma once

#include <windows.h>

namespace settings {

enum class Language { Greek, English };
enum class LanguageChoice { Automatic, Greek, English };

inline constexpr wchar_t LANGUAGE_VALUE[] = L"Language";

// The language for a choice on a system whose display language is given.
// Scripts the program has no texts for (right-to-left ones too) get English.
Language ChooseLanguage(LanguageChoice choice, LANGID user_ui_language);

// The stored text of a choice and back; unknown text is automatic.
LanguageChoice ParseLanguageChoice(const wchar_t* stored);
const wchar_t* LanguageChoiceText(LanguageChoice choice);

LanguageChoice ReadLanguageChoice();
bool WriteLanguageChoice(LanguageChoice choice);

// The stored choice on this user's display language.
Language LanguageInEffect();

}  // namespace settings
