#include "device/LibrarySearch.h"

#include <cstdint>
#include <cstring>

namespace device {

namespace {

bool IsSlash(wchar_t c) { return c == L'\\' || c == L'/'; }

// The program's folder with its last slash, or 0.
DWORD ProgramFolder(wchar_t (&folder)[MAX_PATH]) {
    DWORD length = GetModuleFileNameW(nullptr, folder, MAX_PATH);
    if (length >= MAX_PATH) length = 0;
    while (length > 0 && !IsSlash(folder[length - 1])) --length;
    return length;
}

bool StartsWith(const wchar_t* text, int length, const wchar_t* prefix) {
    const int n = lstrlenW(prefix);
    return length >= n && CompareStringOrdinal(text, n, prefix, n, TRUE) == CSTR_EQUAL;
}

bool IsDriveLetter(const wchar_t* at, int length) {
    return length >= 2 && at[1] == L':' && ((at[0] >= L'A' && at[0] <= L'Z') || (at[0] >= L'a' && at[0] <= L'z'));
}

// "C:\..." or a path in the system's long form, "\\?\C:\...", or a UNC one.
bool IsAbsolute(const wchar_t* folder, int length) {
    return (length > 2 && IsDriveLetter(folder, length) && IsSlash(folder[2])) ||
           (length > 2 && IsSlash(folder[0]) && IsSlash(folder[1]));
}

}  // namespace

bool IsNetworkFolder(const wchar_t* folder, int length) {
    // The long form's drive, if it names one: \\?\C:\ and \\.\C:\ are local paths.
    if (StartsWith(folder, length, L"\\\\?\\") || StartsWith(folder, length, L"\\\\.\\")) {
        if (!IsDriveLetter(folder + 4, length - 4)) return true;  // \\?\UNC\server\... or a device
        folder += 4;
        length -= 4;
    }
    if (length >= 2 && IsSlash(folder[0]) && IsSlash(folder[1])) return true;  // \\server\share
    if (!IsDriveLetter(folder, length)) return false;
    // The drive's type is known locally: asking it never waits on a share.
    const wchar_t root[] = {folder[0], L':', L'\\', 0};
    return GetDriveTypeW(root) == DRIVE_REMOTE;
}

namespace detail {

// The folder and the name joined, or the folder alone with why it is skipped.
// A relative folder such as "." would bring the current folder back. Only
// PATH's network folders are skipped: the program's own may be on a share,
// and the program came from there anyway.
bool MakePlace(Place& place, const wchar_t* folder, int length, const wchar_t* name) {
    const int nameLength = lstrlenW(name) + 1;  // with its NUL
    place.skipped = !IsAbsolute(folder, length)                                        ? Skipped::NotAbsolute
                    : place.kind == PlaceKind::Path && IsNetworkFolder(folder, length) ? Skipped::Network
                    : length + 1 + nameLength > MAX_PATH                               ? Skipped::TooLong
                                                                                       : Skipped::No;
    const int kept = length < MAX_PATH ? length : MAX_PATH - 1;
    CopyMemory(place.file, folder, static_cast<SIZE_T>(kept) * sizeof(wchar_t));
    place.file[kept] = L'\0';
    if (place.skipped != Skipped::No) return false;
    int at = length;
    if (!IsSlash(place.file[at - 1])) place.file[at++] = L'\\';
    CopyMemory(place.file + at, name, static_cast<SIZE_T>(nameLength) * sizeof(wchar_t));
    return true;
}

}  // namespace detail

void ForEachPlace(const wchar_t* name, PlaceVisitor visit, void* context) {
    Place place = {};
    wchar_t folder[MAX_PATH] = {};
    const auto at = [&](PlaceKind kind, const wchar_t* where, DWORD length) {
        if (length == 0 || length >= MAX_PATH) return false;
        place.kind = kind;
        detail::MakePlace(place, where, static_cast<int>(length), name);
        return visit(place, context);
    };
    const DWORD length = ProgramFolder(folder);
    // With its slash, which a drive's root needs.
    if (length > 0 && at(PlaceKind::ProgramFolder, folder, length)) return;
    // A 32-bit process on 64-bit Windows finds its system folder's files in
    // SysWOW64, and is told so, not System32, where they are not.
    UINT system = sizeof(void*) == 4 ? GetSystemWow64DirectoryW(folder, MAX_PATH) : 0;
    if (system == 0 || system >= MAX_PATH) system = GetSystemDirectoryW(folder, MAX_PATH);
    if (at(PlaceKind::SystemFolder, folder, system)) return;
    if (at(PlaceKind::WindowsFolder, folder, GetWindowsDirectoryW(folder, MAX_PATH))) return;

    const DWORD size = GetEnvironmentVariableW(L"PATH", nullptr, 0);
    if (size == 0) return;
    auto* path = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, size * sizeof(wchar_t)));
    if (!path) return;
    DWORD total = GetEnvironmentVariableW(L"PATH", path, size);
    if (total >= size) total = 0;  // PATH grew in between: nothing was copied
    for (DWORD start = 0; start < total;) {
        DWORD end = start;
        while (end < total && path[end] != L';') ++end;
        if (end > start && at(PlaceKind::Path, path + start, end - start)) break;
        start = end + 1;
    }
    HeapFree(GetProcessHeap(), 0, path);
}

// ---------------------------------------------------------------------------
// Reading a library's headers

namespace {

// A little-endian field of the image, or 0 past its end.
uint32_t Read(const uint8_t* bytes, size_t size, size_t at, size_t width) {
    if (at > size || width > size - at) return 0;
    uint32_t value = 0;
    for (size_t i = 0; i < width; ++i) value |= static_cast<uint32_t>(bytes[at + i]) << (8 * i);
    return value;
}

constexpr uint16_t MACHINE_X86 = 0x014C, MACHINE_X64 = 0x8664;
constexpr uint16_t OPTIONAL_32 = 0x10B, OPTIONAL_64 = 0x20B;

}  // namespace

LibraryFile InspectLibraryImage(const uint8_t* bytes, size_t size, const char* const* names, int count) {
    const LibraryFile none = {FileKind::NotALibrary, 0, 0};
    if (Read(bytes, size, 0, 2) != 0x5A4D) return none;  // "MZ"
    const size_t pe = Read(bytes, size, 0x3C, 4);
    if (Read(bytes, size, pe, 4) != 0x00004550) return none;  // "PE\0\0"
    const size_t coff = pe + 4, optional = coff + 20;
    const uint32_t machine = Read(bytes, size, coff, 2), sections = Read(bytes, size, coff + 2, 2);
    const uint32_t optionalSize = Read(bytes, size, coff + 16, 2), characteristics = Read(bytes, size, coff + 18, 2);
    const uint32_t magic = Read(bytes, size, optional, 2);
    const int bits = machine == MACHINE_X86 && magic == OPTIONAL_32   ? 32
                     : machine == MACHINE_X64 && magic == OPTIONAL_64 ? 64
                                                                      : 0;
    if (!bits || !(characteristics & IMAGE_FILE_DLL)) return none;

    // The export table's names, found through the section that holds them.
    const size_t exportsEntry = optional + (bits == 32 ? 96 : 112);
    const uint32_t exportsRva = Read(bytes, size, exportsEntry, 4);
    const size_t table = optional + optionalSize;
    const auto offsetOf = [&](uint32_t rva) -> size_t {
        for (uint32_t i = 0; i < sections; ++i) {
            const size_t header = table + 40 * i;
            const uint32_t start = Read(bytes, size, header + 12, 4), length = Read(bytes, size, header + 8, 4);
            if (rva >= start && rva - start < length) return Read(bytes, size, header + 20, 4) + (rva - start);
        }
        return SIZE_MAX;
    };
    LibraryFile file = {FileKind::Library, bits, (count >= 32 ? 0u : (1u << count)) - 1u};
    const size_t directory = exportsRva ? offsetOf(exportsRva) : SIZE_MAX;
    if (directory == SIZE_MAX) return file;
    const uint32_t nameCount = Read(bytes, size, directory + 24, 4);
    const size_t nameTable = offsetOf(Read(bytes, size, directory + 32, 4));
    for (uint32_t i = 0; i < nameCount && nameTable != SIZE_MAX && i < 65536; ++i) {
        const size_t at = offsetOf(Read(bytes, size, nameTable + 4 * i, 4));
        if (at >= size) continue;
        for (int op = 0; op < count; ++op) {
            const size_t length = static_cast<size_t>(lstrlenA(names[op])) + 1;  // with its NUL
            if (length <= size - at && !std::memcmp(bytes + at, names[op], length)) file.missingMask &= ~(1u << op);
        }
    }
    return file;
}

LibraryFile InspectLibraryFile(const wchar_t* path, const char* const* names, int count) {
    // A library is a few hundred kilobytes at most; its headers and export
    // names lie well inside its first megabytes.
    constexpr DWORD MOST = 8u << 20;
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        const bool absent = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        return {absent ? FileKind::Absent : FileKind::NotALibrary, 0, 0};
    }
    const DWORD size = GetFileSize(file, nullptr);
    const DWORD wanted = size == INVALID_FILE_SIZE ? 0 : (size < MOST ? size : MOST);
    auto* bytes = static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), 0, wanted ? wanted : 1));
    DWORD got = 0;
    const bool read = bytes && ReadFile(file, bytes, wanted, &got, nullptr);
    CloseHandle(file);
    const LibraryFile result =
        read ? InspectLibraryImage(bytes, got, names, count) : LibraryFile{FileKind::NotALibrary, 0, 0};
    if (bytes) HeapFree(GetProcessHeap(), 0, bytes);
    return result;
}

// ---------------------------------------------------------------------------

namespace {

// Set once the default DLL folders are the program's and the system's: the
// loader then takes LOAD_LIBRARY_SEARCH_* flags (Windows 8 and later, and
// Windows 7 with its update KB2533623, which brings the function).
bool searchFlagsTaken = false;

}  // namespace

void KeepCurrentFolderOutOfDllSearch() {
    // The program's own folder, already first in the search, in the current
    // folder's place: Windows leaves the current folder out for it as for an
    // empty string, and Wine's loader only for a folder.
    wchar_t folder[MAX_PATH];
    const DWORD length = ProgramFolder(folder);
    // Without its last slash, but a drive's root keeps it: "C:" alone is a current folder.
    if (length > 0) folder[length >= 2 && folder[length - 2] == L':' ? length : length - 1] = L'\0';
    if (length == 0 || !SetDllDirectoryW(folder)) SetDllDirectoryW(L"");
    // Where the system has it, no PATH at all for what is loaded by name.
    using SetDefault = BOOL(WINAPI*)(DWORD);
    const auto setDefault =
        reinterpret_cast<SetDefault>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories"));
    searchFlagsTaken = setDefault && setDefault(LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
}

Found LoadFromSearchPath(const wchar_t* name) {
    Found found = {};
    ForEachPlace(
        name,
        [](const Place& place, void* context) {
            auto& found = *static_cast<Found*>(context);
            if (place.skipped != Skipped::No || GetFileAttributesW(place.file) == INVALID_FILE_ATTRIBUTES) return false;
            // Only a library this process can load is loaded: a program or
            // another file under the name is passed by, as is one of the
            // other width, which is remembered.
            const LibraryFile file = InspectLibraryFile(place.file, nullptr, 0);
            if (file.kind != FileKind::Library) return false;
            if (file.bits != PROCESS_BITS) {
                found.otherArchitecture = true;
                return false;
            }
            // Its own folder is searched for what it needs in turn; then only
            // the program's and the system's where the system can say so,
            // else the ordinary search, PATH included.
            found.module =
                LoadLibraryExW(place.file, nullptr,
                               searchFlagsTaken ? LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS
                                                : LOAD_WITH_ALTERED_SEARCH_PATH);
            if (found.module) lstrcpynW(found.file, place.file, MAX_PATH);
            return found.module != nullptr;
        },
        &found);
    return found;
}

}  // namespace device
