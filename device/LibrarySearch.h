// Where the device library may come from: the platform's search for a bare
// name, without the current folder, where a planted library must never be
// loaded from, and without network folders, which could freeze the window or
// supply code.
#pragma once

#include <windows.h>

#include <cstdint>

namespace device {

enum class PlaceKind { ProgramFolder, SystemFolder, WindowsFolder, Path };
// Why a folder of PATH is not searched.
enum class Skipped { No, NotAbsolute, Network, TooLong };

struct Place {
    PlaceKind kind;
    Skipped skipped;
    wchar_t file[MAX_PATH];  // the folder and the library's name; the folder alone when skipped
};

// The places of the search in order: the program's folder, the system folder,
// the Windows folder, then each folder on PATH. Stops when visit returns true.
using PlaceVisitor = bool (*)(const Place& place, void* context);
void ForEachPlace(const wchar_t* name, PlaceVisitor visit, void* context);

// Whether a folder is on another computer: a UNC path or a mapped drive.
bool IsNetworkFolder(const wchar_t* folder, int length);

namespace detail {
// The folder and the name joined into place.file, or the folder alone with
// why it is skipped; true when the place is to be searched.
bool MakePlace(Place& place, const wchar_t* folder, int length, const wchar_t* name);
}  // namespace detail

// What a file is, read from its headers without running any of it.
enum class FileKind { Absent, NotALibrary, Library };
struct LibraryFile {
    FileKind kind;
    int bits;              // 32 or 64 for a library of x86 or x64, else 0
    uint32_t missingMask;  // bit per operation of `names` it does not export
};
LibraryFile InspectLibraryImage(const uint8_t* bytes, size_t size, const char* const* names, int count);
LibraryFile InspectLibraryFile(const wchar_t* file, const char* const* names, int count);

// This process's width: a library of the other one cannot be loaded.
inline constexpr int PROCESS_BITS = sizeof(void*) * 8;

struct Found {
    HMODULE module;          // null when no place had a library that loads
    bool otherArchitecture;  // a place had one of the other width
    wchar_t file[MAX_PATH];  // where the module came from
};
Found LoadFromSearchPath(const wchar_t* name);

// Takes the current folder out of the search for what a loaded library needs
// in turn, for the rest of the process, and PATH too where the system can
// limit the search to the program's and its own folders. Called first thing
// at start.
void KeepCurrentFolderOutOfDllSearch();

// When to look for a missing library again. A search walks every folder on
// PATH (milliseconds with a long PATH), too dear for every tick: it is made at
// most every RETRY_MS, and at once when asked to, as after the system has
// seen a device come or go.
class SearchSchedule {
public:
    static constexpr ULONGLONG RETRY_MS = 2000;

    // Whether to search at this time; if so, the search counts as made.
    bool Due(ULONGLONG now_ms) {
        if (searched_ && !soon_ && now_ms - last_ < RETRY_MS) return false;
        searched_ = true;
        soon_ = false;
        last_ = now_ms;
        return true;
    }
    void SearchSoon() { soon_ = true; }

private:
    bool searched_ = false;
    bool soon_ = false;
    ULONGLONG last_ = 0;
};

}  // namespace device
