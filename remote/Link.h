// Both ends of a request to the running program: the front end's, which
// finds the window and waits for the reply, and the window's, which answers.
#pragma once

#include <windows.h>

#include "remote/Protocol.h"

namespace remote {

// A window that takes longer than this to answer counts as not running.
inline constexpr DWORD ANSWER_MS = 2000;

// Whether a window, of any process, is of the class.
bool IsWindowOfClass(HWND window, const wchar_t* cls);

// Asks the running program and waits, as long as the library takes, for the
// reply. False when none is published, it does not answer in time or it has
// gone before replying.
bool Ask(Op op, Reply& reply);

// The window's end: the reply to a request that came with reply_to.
bool SendReply(HWND reply_to, HWND from, const Reply& reply);

}  // namespace remote
