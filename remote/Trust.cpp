// advapi32 is bound by name: the command line loads it only when it talks to
// a running program.
#include "remote/Trust.h"

#include <type_traits>

namespace remote {

namespace {

struct Advapi32 {
    decltype(&::OpenProcessToken) OpenProcessToken;
    decltype(&::GetTokenInformation) GetTokenInformation;
    decltype(&::EqualSid) EqualSid;
    decltype(&::GetSidSubAuthority) GetSidSubAuthority;
    decltype(&::GetSidSubAuthorityCount) GetSidSubAuthorityCount;
    bool bound = false;

    Advapi32() {
        // A known system library, never taken from any other folder.
        const HMODULE module = LoadLibraryW(L"advapi32.dll");
        bound = module != nullptr;
        const auto bind = [&](auto& function, const char* name) {
            function = bound
                           ? reinterpret_cast<std::remove_reference_t<decltype(function)>>(GetProcAddress(module, name))
                           : nullptr;
            bound = bound && function;
        };
        bind(OpenProcessToken, "OpenProcessToken");
        bind(GetTokenInformation, "GetTokenInformation");
        bind(EqualSid, "EqualSid");
        bind(GetSidSubAuthority, "GetSidSubAuthority");
        bind(GetSidSubAuthorityCount, "GetSidSubAuthorityCount");
    }
};

const Advapi32& Api() {
    static const Advapi32 api;
    return api;
}

// A process's token: its user and its integrity level.
class Token {
public:
    explicit Token(HANDLE process) {
        if (!Api().bound || !Api().OpenProcessToken(process, TOKEN_QUERY, &token_)) token_ = nullptr;
    }
    ~Token() {
        if (token_) CloseHandle(token_);
    }
    Token(const Token&) = delete;
    Token& operator=(const Token&) = delete;

    // 0 when unknown.
    DWORD Integrity() const {
        const auto* label = Read<TOKEN_MANDATORY_LABEL>(TokenIntegrityLevel);
        if (!label) return 0;
        const UCHAR count = *Api().GetSidSubAuthorityCount(label->Label.Sid);
        return count ? *Api().GetSidSubAuthority(label->Label.Sid, count - 1u) : 0;
    }
    bool SameUser(const Token& other) const {
        const auto* mine = Read<TOKEN_USER>(TokenUser);
        const auto* theirs = other.Read<TOKEN_USER>(TokenUser);
        return mine && theirs && Api().EqualSid(mine->User.Sid, theirs->User.Sid);
    }

private:
    template <typename T>
    const T* Read(TOKEN_INFORMATION_CLASS what) const {
        DWORD size = 0;
        return token_ && Api().GetTokenInformation(token_, what, buffer_, sizeof buffer_, &size)
                   ? reinterpret_cast<const T*>(buffer_)
                   : nullptr;
    }

    HANDLE token_ = nullptr;
    // A user's SID is at most 68 bytes, a label's likewise.
    alignas(8) mutable BYTE buffer_[128] = {};
};

// What a rule makes of another process's token beside this process's; false
// when the process cannot be opened.
template <typename Rule>
bool Judge(DWORD process_id, Rule rule) {
    // Enough to read the token of a process of the same logon, elevated or not.
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id);
    if (!process) return false;
    const bool judged = rule(Token(process), Token(GetCurrentProcess()));
    CloseHandle(process);
    return judged;
}

}  // namespace

bool MayAsk(DWORD process_id) {
    return Judge(process_id, [](const Token& theirs, const Token& mine) {
        return MayAsk(mine.SameUser(theirs), theirs.Integrity());
    });
}

bool Trusts(DWORD process_id) {
    return Judge(process_id, [](const Token& theirs, const Token& mine) {
        return Trusts(mine.SameUser(theirs), theirs.Integrity(), mine.Integrity());
    });
}

bool RunsElevated() { return Token(GetCurrentProcess()).Integrity() >= SECURITY_MANDATORY_HIGH_RID; }

}  // namespace remote
