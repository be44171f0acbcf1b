#include "settings/Hotkey.h"

namespace settings {

namespace {

struct Name {
    const wchar_t* text;
    UINT value;
};

// In the order they are written.
constexpr Name MODIFIERS[] = {{L"Ctrl", MOD_CONTROL}, {L"Alt", MOD_ALT}, {L"Shift", MOD_SHIFT}, {L"Win", MOD_WIN}};
constexpr Name NAMED_KEYS[] = {{L"Space", VK_SPACE},   {L"Insert", VK_INSERT}, {L"Delete", VK_DELETE},
                               {L"Home", VK_HOME},     {L"End", VK_END},       {L"PageUp", VK_PRIOR},
                               {L"PageDown", VK_NEXT}, {L"Left", VK_LEFT},     {L"Up", VK_UP},
                               {L"Right", VK_RIGHT},   {L"Down", VK_DOWN},     {L"Pause", VK_PAUSE}};
constexpr UINT FUNCTION_KEYS = 24;
constexpr UINT TYPING_GUARDS = MOD_CONTROL | MOD_ALT | MOD_WIN;

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

bool Is(const wchar_t* word, int length, const wchar_t* name) {
    return CompareStringOrdinal(word, length, name, -1, TRUE) == CSTR_EQUAL;
}

template <size_t N>
const Name* Find(const Name (&names)[N], const wchar_t* word, int length) {
    for (const Name& name : names)
        if (Is(word, length, name.text)) return &name;
    return nullptr;
}

template <size_t N>
const Name* Find(const Name (&names)[N], UINT value) {
    for (const Name& name : names)
        if (name.value == value) return &name;
    return nullptr;
}

// The virtual key a key name stands for, or 0.
UINT KeyOf(const wchar_t* word, int length) {
    const wchar_t c = length == 1 ? word[0] : 0;
    if ((c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9')) return c;
    if (c >= L'a' && c <= L'z') return c - L'a' + L'A';
    if (length >= 2 && length <= 3 && (word[0] == L'F' || word[0] == L'f')) {
        UINT n = 0;
        for (int i = 1; i < length; ++i) {
            if (word[i] < L'0' || word[i] > L'9') return 0;
            n = n * 10 + (word[i] - L'0');
        }
        return n >= 1 && n <= FUNCTION_KEYS && word[1] != L'0' ? VK_F1 + n - 1 : 0;
    }
    const Name* named = Find(NAMED_KEYS, word, length);
    return named ? named->value : 0;
}

bool IsFunctionKey(UINT key) { return key >= VK_F1 && key < VK_F1 + FUNCTION_KEYS; }

bool HasName(UINT key) {
    return (key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9') || IsFunctionKey(key) || Find(NAMED_KEYS, key);
}

void Append(HotkeyText& text, const wchar_t* part) {
    const int used = lstrlenW(text);
    lstrcpynW(text + used, part, static_cast<int>(HOTKEY_TEXT_CHARS) - used);
}

}  // namespace

bool IsAllowed(const Hotkey& hotkey) {
    if (!hotkey.key) return !hotkey.modifiers;
    return HasName(hotkey.key) && ((hotkey.modifiers & TYPING_GUARDS) || IsFunctionKey(hotkey.key));
}

bool ParseHotkey(const wchar_t* text, Hotkey& hotkey) {
    Hotkey parsed = NO_HOTKEY;
    const wchar_t* p = text;
    while (IsBlank(*p)) ++p;
    if (!*p) {
        hotkey = NO_HOTKEY;
        return true;
    }
    for (;;) {
        while (IsBlank(*p)) ++p;
        const wchar_t* word = p;
        while (*p && *p != L'+' && !IsBlank(*p)) ++p;
        const int length = static_cast<int>(p - word);
        while (IsBlank(*p)) ++p;
        if (length == 0 || parsed.key) return false;  // nothing between two '+', or a name after the key
        const Name* modifier = Find(MODIFIERS, word, length);
        if (modifier) {
            if (parsed.modifiers & modifier->value) return false;
            parsed.modifiers |= modifier->value;
        } else if (!(parsed.key = KeyOf(word, length))) {
            return false;
        }
        if (!*p) break;
        if (*p++ != L'+') return false;
    }
    if (!parsed.key || !IsAllowed(parsed)) return false;
    hotkey = parsed;
    return true;
}

void FormatHotkey(const Hotkey& hotkey, HotkeyText& text) {
    text[0] = L'\0';
    if (!hotkey.key) return;
    for (const Name& modifier : MODIFIERS) {
        if (!(hotkey.modifiers & modifier.value)) continue;
        Append(text, modifier.text);
        Append(text, L"+");
    }
    const Name* named = Find(NAMED_KEYS, hotkey.key);
    wchar_t key[4] = {static_cast<wchar_t>(hotkey.key)};
    if (IsFunctionKey(hotkey.key)) wsprintfW(key, L"F%u", hotkey.key - VK_F1 + 1);
    Append(text, named ? named->text : key);
}

}  // namespace settings
