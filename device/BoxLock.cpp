#include "device/BoxLock.h"

#include "common/SharedSecurity.h"

namespace device {

const wchar_t* BoxLockName = BOX_LOCK_NAME;

namespace {

// Held with the mutex, for ExitBetweenSequences.
struct Sequences {
    CRITICAL_SECTION held;
    Sequences() { InitializeCriticalSection(&held); }
} sequences;

// Opened once and kept for the process's life.
HANDLE BoxMutex() {
    static HANDLE mutex = nullptr;
    if (mutex) return mutex;
    mutex = OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, BoxLockName);
    if (!mutex) {
        common::SharedSecurity users(common::MUTEX_FOR_USERS);
        mutex = CreateMutexW(users.get(), FALSE, BoxLockName);
    }
    return mutex;
}

}  // namespace

BoxLock::BoxLock(DWORD wait_ms, WaitFunction wait) {
    HANDLE mutex = BoxMutex();
    // Without the object, no sequence: one beside another process's would
    // toggle the pass-through bit twice.
    if (!mutex) return;
    const DWORD waited = wait(mutex, wait_ms);
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
