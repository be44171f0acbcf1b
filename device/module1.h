// The device library AVR309.dll: its four port operations, bound by name.
//
// The library is found by the platform's ordinary search under its bare name
// (the program's folder, the system folders, PATH; never the current folder
// nor a network folder), loaded on first use and kept. A library or
// operation that cannot be found is reported, not fatal: later checks try
// again, so a library put in place while the program runs is picked up
// within a few seconds. An incomplete library is let go at once, so that its
// file is not held and a corrected one takes its place.
#pragma once

#include <cstdint>

namespace module1 {

inline constexpr int32_t DEVICE_NOT_PRESENT = 1;
inline constexpr wchar_t LIBRARY_NAME[] = L"AVR309.dll";

enum Operation {
    GET_OUT_DATA_PORT,
    GET_DATA_PORT_DIRECTION,
    SET_DATA_PORT_DIRECTION,
    SET_OUT_DATA_PORT,
    OPERATION_COUNT
};
inline constexpr const char* OPERATION_NAMES[OPERATION_COUNT] = {"DoGetOutDataPort", "DoGetDataPortDirection",
                                                                 "DoSetDataPortDirection", "DoSetOutDataPort"};

// OtherArchitecture: none loads, but one of the other width (64-bit in this
// 32-bit program) is in a place of the search.
enum class LibraryState { Ready, LibraryMissing, OperationMissing, OtherArchitecture };

// Loads the library if need be and looks up all four operations. While it is
// missing or incomplete, it is looked for again only every few seconds.
LibraryState CheckLibrary();
// The next check looks for a missing library at once.
void SearchAgainSoon();
// The file of the last library found, used or let go; empty when none.
const wchar_t* LibraryFile();

// The library's own operations. Call them once CheckLibrary has said Ready:
// a complete library is never unloaded, so they stay callable. Before that
// they call nothing and answer DEVICE_NOT_PRESENT.
int32_t DoGetOutDataPort(uint8_t& port_byte);
int32_t DoGetDataPortDirection(uint8_t& port_byte);
int32_t DoSetDataPortDirection(uint8_t port_byte);
int32_t DoSetOutDataPort(uint8_t port_byte);

// The status kept in a byte. A status outside 0..255 would lose its high bits
// and could read as DEVICE_NOT_PRESENT (257 does), so it is kept as 0xFF: it
// still means present, as the whole status does.
inline uint8_t NarrowStatus(int32_t status) {
    return (status >= 0 && status <= 0xFF) ? static_cast<uint8_t>(status) : uint8_t{0xFF};
}

}  // namespace module1
