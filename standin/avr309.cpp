// Stand-in for the vendor's AVR309.dll: the box it talks to is played through
// the shared channel, so the panel and the tests can see and steer each call.
#include <windows.h>
#include <cstring>

#include "box.h"
#include "channel.h"

namespace {
using namespace standin;

HANDLE g_mapping;
Channel* g_channel;
CRITICAL_SECTION g_lock;

// Without a channel the library still works, as a box nobody can see.
Channel* privateChannel() {
    auto* c = static_cast<Channel*>(VirtualAlloc(nullptr, sizeof(Channel), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (c) {
        c->version = CHANNEL_VERSION;
        resetBox(c);
        c->initState = 2;
    }
    return c;
}

// A function left unexported: its export address goes to 0, which makes the
// loader's lookup by name fail for this loaded copy.
void hideExports(HMODULE module, uint32_t mask) {
    auto* base = reinterpret_cast<BYTE*>(module);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (!mask || !dir.Size) return;
    auto* exports = reinterpret_cast<IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
    auto* names = reinterpret_cast<DWORD*>(base + exports->AddressOfNames);
    auto* ordinals = reinterpret_cast<WORD*>(base + exports->AddressOfNameOrdinals);
    auto* functions = reinterpret_cast<DWORD*>(base + exports->AddressOfFunctions);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
        for (uint32_t op = 0; op < OP_COUNT; ++op) {
            if (!(mask & (1u << op)) || std::strcmp(reinterpret_cast<char*>(base + names[i]), OP_NAMES[op])) continue;
            DWORD* slot = functions + ordinals[i];
            DWORD old;
            if (VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old)) {
                *slot = 0;
                VirtualProtect(slot, sizeof *slot, old, &old);
            }
        }
    }
}

// user32, loaded only for the faults and the watching that need it: like a
// device's library, the stand-in costs a process that merely probes no more
// than the library itself.
struct User32 {
    HMODULE module = LoadLibraryW(L"user32.dll");
    template <typename Function>
    Function Get(const char* name) const {
        return reinterpret_cast<Function>(GetProcAddress(module, name));
    }
    decltype(&SendMessageTimeoutW) sendTimeout = Get<decltype(&SendMessageTimeoutW)>("SendMessageTimeoutW");
    decltype(&InternalGetWindowText) internalText = Get<decltype(&InternalGetWindowText)>("InternalGetWindowText");
    decltype(&PeekMessageW) peek = Get<decltype(&PeekMessageW)>("PeekMessageW");
    decltype(&TranslateMessage) translate = Get<decltype(&TranslateMessage)>("TranslateMessage");
    decltype(&DispatchMessageW) dispatch = Get<decltype(&DispatchMessageW)>("DispatchMessageW");
    decltype(&PostQuitMessage) postQuit = Get<decltype(&PostQuitMessage)>("PostQuitMessage");
    decltype(&MsgWaitForMultipleObjects) wait = Get<decltype(&MsgWaitForMultipleObjects)>("MsgWaitForMultipleObjects");
};

const User32& user32() {
    static const User32 loaded;
    return loaded;
}

// The watched window may belong to a thread that is waiting for this very
// call, so ask with a timeout and fall back to the text Windows keeps itself.
void snapshotText(HWND window, wchar_t* out) {
    const User32& u = user32();
    DWORD_PTR copied = 0;
    if (!u.sendTimeout || !u.internalText) return;
    if (!u.sendTimeout(window, WM_GETTEXT, SNAPSHOT_CHARS, reinterpret_cast<LPARAM>(out), SMTO_ABORTIFHUNG, 200,
                       &copied))
        u.internalText(window, out, SNAPSHOT_CHARS);
    out[SNAPSHOT_CHARS - 1] = 0;
}

// As a library that shows a window or waits on COM would, the call runs the
// calling thread's messages: its timer and clicks come in the middle of it.
// Calls made from inside those messages do not pump again.
void pumpMessages(DWORD ms) {
    static bool pumping = false;
    const User32& u = user32();
    if (pumping || !u.peek || !u.translate || !u.dispatch || !u.postQuit || !u.wait) return;
    pumping = true;
    const ULONGLONG end = GetTickCount64() + ms;
    for (ULONGLONG now; (now = GetTickCount64()) < end;) {
        MSG msg;
        while (u.peek(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {  // the caller's own loop must see it
                u.postQuit(static_cast<int>(msg.wParam));
                pumping = false;
                return;
            }
            u.translate(&msg);
            u.dispatch(&msg);
        }
        u.wait(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
    }
    pumping = false;
}

Box loadBox(const Channel* c) {
    Box b;
    b.onBus = c->onBus != 0;
    b.passedThrough = c->passedThrough != 0;
    b.switchOnCommand = c->switchOnCommand != 0;
    b.direction = static_cast<uint8_t>(c->direction);
    b.output = static_cast<uint8_t>(c->output);
    b.switchCount = static_cast<uint32_t>(c->switchCount);
    b.sequence = c->sequence;
    return b;
}

// Only what the call changed goes back, so the panel's own writes survive.
void storeBox(Channel* c, const Box& was, const Box& now) {
    if (now.direction != was.direction) c->direction = now.direction;
    if (now.output != was.output) c->output = now.output;
    if (now.switchCount != was.switchCount) c->switchCount = static_cast<LONG>(now.switchCount);
    if (now.passedThrough != was.passedThrough) c->passedThrough = now.passedThrough;
    if (now.onBus != was.onBus) c->onBus = now.onBus;
    c->sequence = now.sequence;
}

Faults loadFaults(const Channel* c) {
    Faults f;
    f.forceStatus = c->forceStatus != 0;
    f.forcedStatus = c->forcedStatus;
    f.failMask = static_cast<uint32_t>(c->failMask);
    f.failStatus = c->failStatus;
    f.failWritesByte = c->failWritesByte != 0;
    f.failByte = static_cast<uint8_t>(c->failByte);
    return f;
}

int32_t serve(Op op, uint8_t* address, uint8_t value) {
    Channel* c = g_channel;
    if (!c) return STATUS_NOT_PRESENT;
    InterlockedIncrement(&c->callsInProgress);
    CallRecord record{};
    record.op = op;
    record.processId = GetCurrentProcessId();
    record.threadId = GetCurrentThreadId();
    if (HWND watched = reinterpret_cast<HWND>(static_cast<LONG_PTR>(c->watchWindow)))
        snapshotText(watched, record.watchedText);
    if (LONG ms = c->delayMs; ms > 0) Sleep(static_cast<DWORD>(ms));
    if (LONG ms = c->pumpMs; ms > 0) pumpMessages(static_cast<DWORD>(ms));

    EnterCriticalSection(&g_lock);
    if (c->leaveBusAtCall > 0 && c->callCount + 1 == c->leaveBusAtCall) c->onBus = 0;
    Box box = loadBox(c);
    const Box was = box;
    const Outcome o = call(box, loadFaults(c), op, address, value);
    storeBox(c, was, box);
    record.byteIn = o.byteIn;
    record.byteOut = o.byteOut;
    record.status = o.status;
    record.onBusBefore = o.onBusBefore;
    c->calls[static_cast<uint32_t>(c->callCount) % CALL_LOG_SIZE] = record;
    InterlockedIncrement(&c->callCount);
    LeaveCriticalSection(&g_lock);
    InterlockedDecrement(&c->callsInProgress);
    return o.status;
}

}  // namespace

extern "C" {

int32_t __stdcall DoGetOutDataPort(uint8_t* byte) { return serve(OP_GET_OUT_DATA_PORT, byte, 0); }

int32_t __stdcall DoGetDataPortDirection(uint8_t* byte) { return serve(OP_GET_DATA_PORT_DIRECTION, byte, 0); }

int32_t __stdcall DoSetDataPortDirection(uint8_t byte) { return serve(OP_SET_DATA_PORT_DIRECTION, nullptr, byte); }

int32_t __stdcall DoSetOutDataPort(uint8_t byte) { return serve(OP_SET_OUT_DATA_PORT, nullptr, byte); }

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(module);
        InitializeCriticalSection(&g_lock);
        g_channel = openChannel(&g_mapping);
        if (!g_channel) g_channel = privateChannel();
        if (g_channel) hideExports(module, static_cast<uint32_t>(g_channel->hideMask));
    } else if (reason == DLL_PROCESS_DETACH && !reserved) {  // FreeLibrary, not process exit
        if (g_mapping)
            closeChannel(g_channel, g_mapping);
        else if (g_channel)
            VirtualFree(g_channel, 0, MEM_RELEASE);
        g_channel = nullptr;
        g_mapping = nullptr;
        DeleteCriticalSection(&g_lock);
    }
    return TRUE;
}

}  // extern "C"
