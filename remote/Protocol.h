// What the running program and the front ends that drive the box through it
// agree on: where its window is published, how its window is recognised, and
// a request and its answer as WM_COPYDATA carries them.
//
// A request goes to the window; before it acts, the window sends its answer
// (the probe, and so whether it will press) back to the asker's reply window,
// which takes it only while still waiting. An asker that gave up refuses it,
// and the window then does nothing: a request is carried out exactly when
// its answer was taken, and never also by the asker.
#pragma once

#include <windows.h>

#include <cstdint>

#include "device/SwitchCommand.h"

namespace remote {

// Holds the running program's window handle and process (SingleInstance).
inline constexpr wchar_t INSTANCE_NAME[] = L"Local\\Varnosklen.Instance";
inline constexpr wchar_t WINDOW_CLASS[] = L"Varnosklen.Form1";
// The hidden window of a front end that the answer goes back to.
inline constexpr wchar_t REPLY_CLASS[] = L"Varnosklen.Reply";

// What is published: 32 bits for the window, which is what a window handle
// carries between 32- and 64-bit processes, and the program's process.
struct Published {
    LONG window;
    LONG processId;
};

inline constexpr ULONG_PTR REQUEST_TAG = 0x56524551;  // the WM_COPYDATA's dwData
inline constexpr ULONG_PTR ANSWER_TAG = 0x56524550;
inline constexpr uint32_t MAGIC = 0x4C4B5356;
inline constexpr uint32_t VERSION = 2;

// PrintWatch: the print switch's watch as the program keeps it (its
// printing::Health in the answer's status); nothing is asked of the box.
enum class Op : uint32_t { Status = 1, Switch = 2, PrintWatch = 3 };

// The window's results to a request: carried out, TRUE; not (not a request
// of ours, or its asker did not take the answer), FALSE; and in the middle of
// a call to the library, ask again shortly:
inline constexpr LRESULT BUSY = 2;
// Refused: the asker's process is not of the program's user at Medium
// integrity or above (remote/Trust.h); nothing was done.
inline constexpr LRESULT REFUSED = 3;
inline constexpr DWORD BUSY_RETRY_MS = 20;

// The reply window's handle goes in the message's wParam.
struct Request {
    uint32_t magic;
    uint32_t version;
    uint32_t op;
    uint32_t id;  // the asker's, so that an answer is matched to its request
};

// The probe that decided: for a switch, sent exactly when state is Present.
struct Answer {
    uint32_t magic;
    uint32_t version;
    uint32_t op;
    uint32_t id;
    uint32_t state;  // device::DeviceState
    int32_t status;
    uint32_t portByte;
};

// The wire keeps the states' numbers.
static_assert(static_cast<uint32_t>(device::DeviceState::Present) == 0 &&
              static_cast<uint32_t>(device::DeviceState::LibraryOtherArchitecture) == 4);
inline constexpr uint32_t LAST_STATE = 4;

inline Request MakeRequest(Op op, uint32_t id) { return {MAGIC, VERSION, static_cast<uint32_t>(op), id}; }

inline Answer MakeAnswer(const Request& request, device::ProbeResult probe, uint8_t port_byte) {
    return {MAGIC, VERSION, request.op, request.id, static_cast<uint32_t>(probe.state), probe.status, port_byte};
}

// Messages come from any process: anything not exactly ours is refused.
inline bool ReadRequest(const COPYDATASTRUCT* data, Request& request) {
    if (!data || data->dwData != REQUEST_TAG || data->cbData != sizeof request || !data->lpData) return false;
    CopyMemory(&request, data->lpData, sizeof request);
    return request.magic == MAGIC && request.version == VERSION &&
           (request.op == static_cast<uint32_t>(Op::Status) || request.op == static_cast<uint32_t>(Op::Switch) ||
            request.op == static_cast<uint32_t>(Op::PrintWatch));
}

inline bool ReadAnswer(const COPYDATASTRUCT* data, const Request& request, Answer& answer) {
    if (!data || data->dwData != ANSWER_TAG || data->cbData != sizeof answer || !data->lpData) return false;
    CopyMemory(&answer, data->lpData, sizeof answer);
    return answer.magic == MAGIC && answer.version == VERSION && answer.op == request.op && answer.id == request.id &&
           answer.state <= LAST_STATE && answer.portByte <= 0xFF;
}

}  // namespace remote
