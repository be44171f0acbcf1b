#include "remote/SingleInstance.h"

#include "common/SharedSecurity.h"
#include "remote/Link.h"
#include "remote/Trust.h"

namespace {

constexpr DWORD PUBLISH_WAIT_MS = 3000;  // a first copy still starting up

}  // namespace

// Readable from every process of the session, whatever its level, so that a
// command run elevated or in a sandbox finds the program instead of driving
// the box beside it; written only by the program.
SingleInstance::SingleInstance() {
    mapping_ = OpenFileMappingW(FILE_MAP_READ, FALSE, remote::INSTANCE_NAME);
    owner_ = mapping_ == nullptr;
    if (owner_) {
        common::SharedSecurity readable(common::READABLE_BY_EVERYONE);
        mapping_ = CreateFileMappingW(INVALID_HANDLE_VALUE, readable.get(), PAGE_READWRITE, 0,
                                      sizeof(remote::Published), remote::INSTANCE_NAME);
        if (!mapping_) return;  // no way to tell: run as the only copy
        owner_ = GetLastError() != ERROR_ALREADY_EXISTS;
    }
    const DWORD access = owner_ ? FILE_MAP_ALL_ACCESS : FILE_MAP_READ;
    published_ =
        static_cast<volatile remote::Published*>(MapViewOfFile(mapping_, access, 0, 0, sizeof(remote::Published)));
    if (owner_) return;
    HWND running = RunningCopy();
    first_ = running == nullptr;
    if (running) BringForward(running);
}

SingleInstance::~SingleInstance() {
    if (published_) UnmapViewOfFile(const_cast<remote::Published*>(published_));
    if (mapping_) CloseHandle(mapping_);
}

void SingleInstance::Publish(HWND window) {
    if (!published_ || !owner_) return;
    remote::AcceptCopyDataWhenElevated(window);
    InterlockedExchange(&published_->processId, static_cast<LONG>(GetCurrentProcessId()));
    InterlockedExchange(&published_->window, static_cast<LONG>(reinterpret_cast<LONG_PTR>(window)));
}

HWND SingleInstance::RunningCopy() const {
    if (!published_) return nullptr;
    const ULONGLONG deadline = GetTickCount64() + PUBLISH_WAIT_MS;
    HWND running = nullptr;
    while (!(running = reinterpret_cast<HWND>(static_cast<LONG_PTR>(published_->window))) &&
           GetTickCount64() < deadline)
        Sleep(20);
    const DWORD program = static_cast<DWORD>(published_->processId);
    DWORD owner = 0;
    if (!remote::IsWindowOfClass(running, remote::WINDOW_CLASS) || !GetWindowThreadProcessId(running, &owner) ||
        owner != program || !remote::Trusts(program))
        return nullptr;
    return running;
}

// The restore command shows a window hidden in the notification area, as
// its menu's open item does, and restores a minimised one.
void SingleInstance::BringForward(HWND running) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(running, WM_SYSCOMMAND, SC_RESTORE, 0, SMTO_ABORTIFHUNG, 2000, &result);
    SetForegroundWindow(running);
}
