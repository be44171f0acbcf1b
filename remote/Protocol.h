// What the running program and the front ends that drive the box through it
// agree on: where its window is published, how its window is recognised, and
// a request and its reply as WM_COPYDATA carries them.
#pragma once

#include <windows.h>

#include <cstdint>

#include "device/SwitchCommand.h"

namespace remote {

// Holds the running program's window handle (SingleInstance).
inline constexpr wchar_t INSTANCE_NAME[] = L"Local\\Varnosklen.Instance";
inline constexpr wchar_t WINDOW_CLASS[] = L"Varnosklen.Form1";
// The hidden window of a front end that a reply goes back to.
inline constexpr wchar_t REPLY_CLASS[] = L"Varnosklen.Reply";

inline constexpr ULONG_PTR REQUEST_TAG = 0x56524551;  // the WM_COPYDATA's dwData
inline constexpr ULONG_PTR REPLY_TAG = 0x56524550;
inline constexpr uint32_t MAGIC = 0x4C4B5356;
inline constexpr uint32_t VERSION = 1;

enum class Op : uint32_t { Status = 1, Switch = 2 };

// The window's answer to a request it cannot take now, while it is in the
// middle of a call to the library: ask again shortly.
inline constexpr LRESULT BUSY = 2;
inline constexpr DWORD BUSY_RETRY_MS = 20;

// The window handle of the reply window goes in the message's wParam.
struct Request {
    uint32_t magic;
    uint32_t version;
    uint32_t op;
};

// The probe that decided: for a switch, the one before the sequence.
struct Reply {
    uint32_t magic;
    uint32_t version;
    uint32_t op;
    uint32_t state;  // device::DeviceState
    int32_t status;
    uint32_t portByte;
};

// The wire keeps the states' numbers.
static_assert(static_cast<uint32_t>(device::DeviceState::Present) == 0 &&
              static_cast<uint32_t>(device::DeviceState::LibraryIncomplete) == 3);

inline Request MakeRequest(Op op) { return {MAGIC, VERSION, static_cast<uint32_t>(op)}; }

inline Reply MakeReply(const Request& request, device::ProbeResult probe, uint8_t port_byte) {
    return {MAGIC, VERSION, request.op, static_cast<uint32_t>(probe.state), probe.status, port_byte};
}

// Messages come from any process: anything not exactly ours is refused.
inline bool ReadRequest(const COPYDATASTRUCT* data, Request& request) {
    if (!data || data->dwData != REQUEST_TAG || data->cbData != sizeof request || !data->lpData) return false;
    CopyMemory(&request, data->lpData, sizeof request);
    return request.magic == MAGIC && request.version == VERSION &&
           (request.op == static_cast<uint32_t>(Op::Status) || request.op == static_cast<uint32_t>(Op::Switch));
}

inline bool ReadReply(const COPYDATASTRUCT* data, Op op, Reply& reply) {
    if (!data || data->dwData != REPLY_TAG || data->cbData != sizeof reply || !data->lpData) return false;
    CopyMemory(&reply, data->lpData, sizeof reply);
    return reply.magic == MAGIC && reply.version == VERSION && reply.op == static_cast<uint32_t>(op) &&
           reply.state <= static_cast<uint32_t>(device::DeviceState::LibraryIncomplete) && reply.portByte <= 0xFF;
}

}  // namespace remote
