#include "remote/SingleInstance.h"

#include "remote/Link.h"

namespace {

constexpr DWORD PUBLISH_WAIT_MS = 3000;  // a first copy still starting up

}  // namespace

SingleInstance::SingleInstance() {
    mapping_ =
        CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(LONG), remote::INSTANCE_NAME);
    if (!mapping_) return;  // no way to tell: run as the only copy
    first_ = GetLastError() != ERROR_ALREADY_EXISTS;
    window_ = static_cast<volatile LONG*>(MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(LONG)));
    if (!first_) BringRunningCopyForward();
}

SingleInstance::~SingleInstance() {
    if (window_) UnmapViewOfFile(const_cast<LONG*>(window_));
    if (mapping_) CloseHandle(mapping_);
}

void SingleInstance::Publish(HWND window) {
    if (window_ && first_) InterlockedExchange(window_, static_cast<LONG>(reinterpret_cast<LONG_PTR>(window)));
}

void SingleInstance::BringRunningCopyForward() {
    if (!window_) return;
    const ULONGLONG deadline = GetTickCount64() + PUBLISH_WAIT_MS;
    HWND running = nullptr;
    while (!(running = reinterpret_cast<HWND>(static_cast<LONG_PTR>(*window_))) && GetTickCount64() < deadline)
        Sleep(20);
    if (!remote::IsWindowOfClass(running, remote::WINDOW_CLASS)) return;
    // The restore command shows a window hidden in the notification area, as
    // its menu's open item does, and restores a minimised one.
    DWORD_PTR result = 0;
    SendMessageTimeoutW(running, WM_SYSCOMMAND, SC_RESTORE, 0, SMTO_ABORTIFHUNG, 2000, &result);
    SetForegroundWindow(running);
}
