// The print switch: a new job of this user on the chosen printer, while the
// box is on the bus (the printer is on the other PC), presses as the button
// does. The job itself is left to Windows, which keeps it queued until the
// printer arrives.
#include "printing/PrinterSetting.h"
#include "tray/APIStuff.h"
#include "tray/TrayNotification.h"
#include "window/Form1.h"
#include "window/Texts.h"

namespace {

// A press of these last moments (a burst's first job, or the user's own)
// has not shown in a probe yet: another would switch the printer back.
constexpr ULONGLONG PRESS_HOLD_MS = Notifier::SETTLE_MS;

}  // namespace

void Form1::WatchChosenPrinter() {
    if (printer_[0])
        printWatch_.Start(printing::ActiveSpooler(), printer_);
    else
        printWatch_.Stop();
}

void Form1::ChangePrinter(const wchar_t* name) {
    lstrcpynW(printer_, name, printing::NAME_CHARS);
    WatchChosenPrinter();
}

// Woken by the queue's handle: no call to the box unless a job of this user came.
void Form1::PrinterQueueChanged() {
    if (printWatch_.TakeChanges() > 0) PressForPrinting();
}

// The last probe decides, as it decides whether the button is on: a box off
// the bus means the printer is here already.
void Form1::PressForPrinting() {
    const device::DeviceState state = lastProbe_.state;
    if (state == device::DeviceState::Absent) return;
    const ULONGLONG now = GetTickCount64();
    if (passesSentAt_ && now - passesSentAt_ < PRESS_HOLD_MS) return;
    bool made = false;
    if (state == device::DeviceState::Present) {
        const ULONGLONG before = passesSentAt_;
        Command1_Click();
        made = deviceBusy_ || passesSentAt_ != before;  // queued behind work in progress, or sent
    }
    // A press that could not be made waits for the next job, and is told once.
    const wchar_t* text = made                ? Text(TextId::NoticePrintSwitched)
                          : printFailureSaid_ ? nullptr
                                              : Text(TextId::NoticePrintWaits);
    printFailureSaid_ = !made;
    if (!text || !notificationsOn_ || !hwnd_) return;
    APIStuff::ShowTrayNotification(
        Text(TextId::NoticeTitle), text,
        made ? APIStuff::NotificationKind::Information : APIStuff::NotificationKind::Warning);
}
