// Requests from varnosklen-cli and "Varnosklen.exe /switch". The window
// carries them out itself, as its poll and its button do, so that only this
// process drives the box and the display follows.
#include "device/BoxLock.h"
#include "remote/Link.h"
#include "remote/Trust.h"
#include "window/Form1.h"

LRESULT Form1::OnCopyData(HWND reply_to, const COPYDATASTRUCT* data) {
    remote::Request request;
    // Any process can send this message: only a whole request with somewhere to reply to counts.
    if (!remote::ReadRequest(data, request) || !remote::IsWindowOfClass(reply_to, remote::REPLY_CLASS)) return FALSE;
    // Only from the user's own programs, never from a sandbox; the answer
    // goes to the reply window, so its process is the one that asks.
    DWORD asker = 0;
    if (!GetWindowThreadProcessId(reply_to, &asker) || !remote::MayAsk(asker)) return remote::REFUSED;
    // The print switch's watch: what the worker last told, no call to the box or the spooler.
    if (request.op == static_cast<uint32_t>(remote::Op::PrintWatch)) {
        remote::Answer answer = remote::MakeAnswer(request, lastProbe_, PortByte);
        answer.status = static_cast<int32_t>(printSwitch_.Health());
        return remote::OfferAnswer(reply_to, hwnd_, answer);
    }
    // Sent while a call of ours is running the window's messages: never in
    // the middle of it.
    if (deviceBusy_) return remote::BUSY;
    // The probe and the press it decides on, with no other sequence between.
    // Not waited for with the window's messages stopped: the asker asks
    // again while another program's sequence lasts.
    device::BoxLock lock(0);
    if (!lock) return remote::BUSY;
    RunDeviceWork(DeviceWork::Tick);
    // Acted on only if the asker takes the answer: one that has given up must
    // never find the box switched behind its back.
    const bool press =
        request.op == static_cast<uint32_t>(remote::Op::Switch) && lastProbe_.state == device::DeviceState::Present;
    // The offer runs messages sent meanwhile: another request among them is busy.
    deviceBusy_ = true;
    const bool taken = remote::OfferAnswer(reply_to, hwnd_, remote::MakeAnswer(request, lastProbe_, PortByte));
    deviceBusy_ = false;
    // A press, made only where the button would be on.
    if (taken && press)
        Command1_Click();
    else
        PostWaitingWork();
    return taken;
}
