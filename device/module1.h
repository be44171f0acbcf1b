// The device library AVR309.dll: its four port operations, bound by name.
//
// The library is found by the platform's ordinary search under its bare name
// (the program's folder, the system folders, PATH; never the current folder),
// loaded on first use and kept. A library or operation that cannot be found is
// reported, not fatal: later calls try again, so a library put in place while
// the program runs is picked up.
#pragma once

#include <cstdint>
#include <optional>

namespace module1 {

inline constexpr int32_t DEVICE_NOT_PRESENT = 1;
inline constexpr wchar_t LIBRARY_NAME[] = L"AVR309.dll";

enum class LibraryState { Ready, LibraryMissing, OperationMissing };

// Loads the library if need be and looks up all four operations.
LibraryState CheckLibrary();

// Each returns the library's status, or nothing when the library or the
// operation cannot be found (then nothing was called).
std::optional<int32_t> DoGetOutDataPort(uint8_t& port_byte);
std::optional<int32_t> DoGetDataPortDirection(uint8_t& port_byte);
std::optional<int32_t> DoSetDataPortDirection(uint8_t port_byte);
std::optional<int32_t> DoSetOutDataPort(uint8_t port_byte);

// Only DEVICE_NOT_PRESENT means absent; any other 32-bit status means present.
inline bool IsPresent(int32_t status) { return status != DEVICE_NOT_PRESENT; }

// The status kept in a byte. A status outside 0..255 would lose its high bits
// and could read as DEVICE_NOT_PRESENT (257 does), so it is kept as 0xFF: it
// still means present, as the whole status does.
inline uint8_t NarrowStatus(int32_t status) {
    return (status >= 0 && status <= 0xFF) ? static_cast<uint8_t>(status) : uint8_t{0xFF};
}

}  // namespace module1
