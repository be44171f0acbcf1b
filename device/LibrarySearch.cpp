#include "device/LibrarySearch.h"

namespace device {

namespace {

bool IsAbsolute(const wchar_t* folder, int length) {
    const auto slash = [](wchar_t c) { return c == L'\\' || c == L'/'; };
    return length > 2 && ((folder[1] == L':' && slash(folder[2])) || (slash(folder[0]) && slash(folder[1])));
}

// The library in one folder of the search, if it is there. A relative folder
// such as "." would bring the current folder back, so only absolute ones count.
HMODULE LoadFromFolder(const wchar_t* folder, int length, const wchar_t* name) {
    const int nameLength = lstrlenW(name) + 1;  // with its NUL
    wchar_t file[MAX_PATH];
    if (!IsAbsolute(folder, length) || length + 1 + nameLength > MAX_PATH) return nullptr;
    CopyMemory(file, folder, static_cast<SIZE_T>(length) * sizeof(wchar_t));
    if (file[length - 1] != L'\\' && file[length - 1] != L'/') file[length++] = L'\\';
    CopyMemory(file + length, name, static_cast<SIZE_T>(nameLength) * sizeof(wchar_t));
    if (GetFileAttributesW(file) == INVALID_FILE_ATTRIBUTES) return nullptr;
    // Its own folder is searched for what it needs in turn.
    return LoadLibraryExW(file, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace

HMODULE LoadFromSearchPath(const wchar_t* name) {
    HMODULE module = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module) return module;

    wchar_t windows[MAX_PATH] = {};
    if (GetWindowsDirectoryW(windows, MAX_PATH) && (module = LoadFromFolder(windows, lstrlenW(windows), name))) {
        return module;
    }

    const DWORD size = GetEnvironmentVariableW(L"PATH", nullptr, 0);
    if (size == 0) return nullptr;
    auto* path = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, size * sizeof(wchar_t)));
    if (!path) return nullptr;
    DWORD length = GetEnvironmentVariableW(L"PATH", path, size);
    if (length >= size) length = 0;  // PATH grew in between: nothing was copied
    for (DWORD start = 0; start < length && !module;) {
        DWORD end = start;
        while (end < length && path[end] != L';') ++end;
        module = LoadFromFolder(path + start, static_cast<int>(end - start), name);
        start = end + 1;
    }
    HeapFree(GetProcessHeap(), 0, path);
    return module;
}

}  // namespace device
