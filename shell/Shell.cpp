#include "shell/Shell.h"

#include <windows.h>
#include <shellapi.h>

#include <string>

namespace Shell {

namespace {

std::string ToAnsi(const wchar_t* text) {
    int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return {};
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, out.data(), size, nullptr, nullptr);
    out.resize(static_cast<size_t>(size) - 1);
    return out;
}

}  // namespace

bool ShellOpen(const wchar_t* file, const wchar_t* verb, const wchar_t* parameters,
               const wchar_t* directory, int show) {
    if (!file || !verb) return false;
    const std::string fileA = ToAnsi(file);
    const std::string verbA = ToAnsi(verb);
    const std::string parametersA = parameters ? ToAnsi(parameters) : std::string();
    const std::string directoryA = directory ? ToAnsi(directory) : std::string();
    HINSTANCE result = ShellExecuteA(nullptr, verbA.c_str(), fileA.c_str(),
                                     parameters ? parametersA.c_str() : nullptr,
                                     directory ? directoryA.c_str() : nullptr, show);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

}  // namespace Shell
