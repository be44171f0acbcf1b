#include "shell/Shell.h"

#include <windows.h>
#include <shellapi.h>

namespace Shell {

namespace {

// A string in the system's 8-bit code page, on the heap for as long as it lives.
class AnsiText {
public:
    explicit AnsiText(const wchar_t* text) {
        if (!text) return;
        const int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
        if (size <= 0) return;
        text_ = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, static_cast<SIZE_T>(size)));
        if (text_) WideCharToMultiByte(CP_ACP, 0, text, -1, text_, size, nullptr, nullptr);
    }
    ~AnsiText() {
        if (text_) HeapFree(GetProcessHeap(), 0, text_);
    }
    AnsiText(const AnsiText&) = delete;
    AnsiText& operator=(const AnsiText&) = delete;

    const char* get() const { return text_; }

private:
    char* text_ = nullptr;
};

}  // namespace

bool ShellOpen(const wchar_t* file, const wchar_t* verb, const wchar_t* parameters, const wchar_t* directory,
               int show) {
    const AnsiText fileA(file), verbA(verb), parametersA(parameters), directoryA(directory);
    if (!fileA.get() || !verbA.get()) return false;
    if ((parameters && !parametersA.get()) || (directory && !directoryA.get())) return false;
    HINSTANCE result = ShellExecuteA(nullptr, verbA.get(), fileA.get(), parametersA.get(), directoryA.get(), show);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

}  // namespace Shell
