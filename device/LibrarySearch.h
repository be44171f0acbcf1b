// Where the device library may come from: the platform's search for a bare
// name, without the current folder, where a planted library must never be
// loaded from.
#pragma once

#include <windows.h>

namespace device {

// The program's folder and the system folder first, then the Windows folder
// and every absolute folder on PATH. Null when the library is in none.
HMODULE LoadFromSearchPath(const wchar_t* name);

}  // namespace device
