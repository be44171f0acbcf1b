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
        common::SharedSecurity everyone(common::MUTEX_FOR_EVERYONE);
        mutex = CreateMutexW(everyone.get(), FALSE, BoxLockName);
    }
    return mutex;
}

}  // namespace

BoxLock::BoxLock(DWORD wait_ms) {
    HANDLE mutex = BoxMutex();
    // Without the object (its name taken by another kind), the box is driven
    // as it was before there was a lock, rather than never.
    if (!mutex) {
        held_ = true;
        return;
    }
    const DWORD waited = WaitForSingleObject(mutex, wait_ms);
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
