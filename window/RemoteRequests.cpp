// Requests from varnosklen-cli and "Varnosklen.exe /switch". The window
// carries them out itself, as its poll and its button do, so that only this
// process drives the box and the display follows.
#include "remote/Link.h"
#include "window/Form1.h"

LRESULT Form1::OnCopyData(HWND reply_to, const COPYDATASTRUCT* data) {
    remote::Request request;
    // Any process can send this message: only a whole request with somewhere to reply to counts.
    if (!remote::ReadRequest(data, request) || !remote::IsWindowOfClass(reply_to, remote::REPLY_CLASS)) return FALSE;
    // Sent while a call of ours is running the window's messages: never in
    // the middle of it.
    if (deviceBusy_) return remote::BUSY;
    RunDeviceWork(DeviceWork::Tick);
    const remote::Reply reply = remote::MakeReply(request, lastProbe_, PortByte);
    // A press, made only where the button would be on.
    if (request.op == static_cast<uint32_t>(remote::Op::Switch) && lastProbe_.state == device::DeviceState::Present)
        Command1_Click();
    return remote::SendReply(reply_to, hwnd_, reply);
}
