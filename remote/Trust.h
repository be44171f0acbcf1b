// Who may have the running program drive the box: a process of the
// program's own user at Medium integrity or above. Any process of the
// desktop can find the window and send it a request, a sandboxed (Low) one
// or another user's run on the same desktop included: those are refused.
#pragma once

#include <windows.h>

namespace remote {

// Whether a process of this user or another, at this integrity level (a
// SECURITY_MANDATORY_*_RID, 0 when unknown), may ask.
inline bool MayAsk(bool same_user, DWORD integrity) { return same_user && integrity >= SECURITY_MANDATORY_MEDIUM_RID; }

// The same for a running process, as its token says; false when it cannot be read.
bool MayAsk(DWORD process_id);

// Whether a published program may be believed by the process that finds it:
// anyone can publish a window and a process id, so only a program of the
// same user at the finder's integrity level or above (theirs and mine as
// SECURITY_MANDATORY_*_RID, 0 when unknown) is asked or deferred to.
inline bool Trusts(bool same_user, DWORD theirs, DWORD mine) { return same_user && theirs && theirs >= mine; }

// The same for a running process, as its token and this process's say;
// false when its token cannot be read.
bool Trusts(DWORD process_id);

// Whether this process runs at High or above: elevated, or a service's.
bool RunsElevated();

}  // namespace remote
