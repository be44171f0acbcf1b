#include "common/SharedSecurity.h"

#include <sddl.h>

namespace common {

SharedSecurity::SharedSecurity(const wchar_t* sddl) {
    using Convert = BOOL(WINAPI*)(LPCWSTR, DWORD, PSECURITY_DESCRIPTOR*, PULONG);
    // Once, and kept: a known system library, never taken from elsewhere.
    static const HMODULE advapi = LoadLibraryW(L"advapi32.dll");
    const auto convert =
        advapi
            ? reinterpret_cast<Convert>(GetProcAddress(advapi, "ConvertStringSecurityDescriptorToSecurityDescriptorW"))
            : nullptr;
    if (convert && !convert(sddl, SDDL_REVISION_1, &attributes_.lpSecurityDescriptor, nullptr))
        attributes_.lpSecurityDescriptor = nullptr;
}

SharedSecurity::~SharedSecurity() {
    if (attributes_.lpSecurityDescriptor) LocalFree(attributes_.lpSecurityDescriptor);
}

}  // namespace common
