#include "device/BoxLock.h"

#include "common/SharedSecurity.h"

namespace device {

const wchar_t* BoxLockName = BOX_LOCK_NAME;
DWORD PressWaitMs = PRESS_WAIT_MS;

namespace {

// Held with the mutex, for ExitBetweenSequences.
struct Sequences {
    CRITICAL_SECTION held;
    Sequences() { InitializeCriticalSection(&held); }
} sequences;

// Taking and releasing, all another user's process is granted.
constexpr DWORD TAKE_AND_RELEASE = SYNCHRONIZE | MUTEX_MODIFY_STATE;

// Opened once and kept for the process's life. Created with the same access
// asked for: CreateMutexW would ask for all of it from a lock another user
// made in the meantime, and be refused.
HANDLE BoxMutex() {
    static HANDLE mutex = nullptr;
    if (mutex) return mutex;
    mutex = OpenMutexW(TAKE_AND_RELEASE, FALSE, BoxLockName);
    if (!mutex) {
        common::SharedSecurity users(common::MUTEX_FOR_USERS);
        mutex = CreateMutexExW(users.get(), BoxLockName, 0, TAKE_AND_RELEASE);
    }
    return mutex;
}

}  // namespace

BoxLock::BoxLock(DWORD wait_ms, Waiter* waiter) {
    HANDLE mutex = BoxMutex();
    // Without the object, no sequence: one beside another process's would
    // toggle the pass-through bit twice.
    if (!mutex) return;
    const DWORD waited = waiter ? waiter->Wait(mutex, wait_ms) : WaitForSingleObject(mutex, wait_ms);
    held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    if (!held_) return;
    mutex_ = mutex;
    EnterCriticalSection(&sequences.held);
}

BoxLock::~BoxLock() {
    if (!mutex_) return;
    LeaveCriticalSection(&sequences.held);
    ReleaseMutex(mutex_);
}

void BoxLock::ExitBetweenSequences(UINT code) {
    EnterCriticalSection(&sequences.held);
    ExitProcess(code);
}

}  // namespace device
