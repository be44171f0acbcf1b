// Security for named objects that every process of the user's session must
// reach, whatever its integrity level: the program run normally or as
// administrator, the command line from a script, a task or a sandbox.
#pragma once

#include <windows.h>

namespace common {

// Its owner and the system hold every right; any signed-in user of the PC,
// the system's own accounts included, may only wait on it and release it
// (SYNCHRONIZE | MUTEX_MODIFY_STATE). The Medium label refuses a lower level
// writing and waiting (no-write-up, no-execute-up: waiting on a mutex is an
// execute right), so a sandboxed process can neither take it nor change it.
inline constexpr wchar_t MUTEX_FOR_USERS[] = L"D:P(A;;GA;;;SY)(A;;GA;;;OW)(A;;0x00100001;;;AU)S:(ML;;NWNX;;;ME)";
// Its owner and the system may change it; anyone may read it.
inline constexpr wchar_t READABLE_BY_EVERYONE[] = L"D:(A;;GA;;;OW)(A;;GA;;;SY)(A;;GR;;;WD)";

// Attributes made from a descriptor in SDDL. advapi32 is loaded only here,
// by whoever creates an object first: a command that merely opens one starts
// without it.
class SharedSecurity {
public:
    explicit SharedSecurity(const wchar_t* sddl);
    ~SharedSecurity();
    SharedSecurity(const SharedSecurity&) = delete;
    SharedSecurity& operator=(const SharedSecurity&) = delete;

    // Null when the descriptor could not be made: the system's default then.
    SECURITY_ATTRIBUTES* get() { return attributes_.lpSecurityDescriptor ? &attributes_ : nullptr; }

private:
    SECURITY_ATTRIBUTES attributes_ = {sizeof attributes_, nullptr, FALSE};
};

}  // namespace common
