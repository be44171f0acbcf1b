// One sequence of calls to the box at a time, whoever makes it: the window's
// probe or press, a request it carries out, the command line's own probe or
// switch. Two read-modify-write sequences interleaved could toggle the
// pass-through bit twice, so that nothing switches while both report success.
#pragma once

#include <windows.h>

namespace device {

// A mutex of the whole PC, shared by every session: the box is one device on
// it, whoever drives it (the user's window, a task run in session 0, another
// user's session after a fast user switch, a remote desktop). Tests that run
// beside each other, each on a stand-in box of its own, name their own
// before the first lock is taken.
inline constexpr wchar_t BOX_LOCK_NAME[] = L"Global\\Varnosklen.Box";
extern const wchar_t* BoxLockName;

// The longest a press waits for another program's sequence: ten calls.
// Tests that hold the lock past it shorten it.
inline constexpr DWORD PRESS_WAIT_MS = 5000;
extern DWORD PressWaitMs;

// How a lock is waited for, with WaitForSingleObject's contract: the
// window's wait goes on running its messages.
class Waiter {
public:
    virtual DWORD Wait(HANDLE object, DWORD wait_ms) = 0;

protected:
    ~Waiter() = default;
};

// Held from construction, when it could be had within wait_ms, to
// destruction. The same thread may take it again inside. A sequence whose
// process died midway leaves it to the next, whose probe comes before any
// pass. Not had at all when the lock cannot be opened nor created (its name
// taken by another kind of object, access refused): the box is then never
// driven. Without a waiter, WaitForSingleObject.
class BoxLock {
public:
    explicit BoxLock(DWORD wait_ms, Waiter* waiter = nullptr);
    ~BoxLock();
    BoxLock(const BoxLock&) = delete;
    BoxLock& operator=(const BoxLock&) = delete;

    explicit operator bool() const { return held_; }

    // Ends the process with the code once no lock of this process is held,
    // and lets none be taken meanwhile: never in the middle of a sequence.
    [[noreturn]] static void ExitBetweenSequences(UINT code);

private:
    HANDLE mutex_ = nullptr;  // when held
    bool held_ = false;
};

}  // namespace device
