#include "window/PrintSwitch.h"

#include "printing/PrinterSetting.h"
#include "window/Texts.h"

namespace {

// A press of these last moments has not shown in a probe yet: another would
// switch the printer back.
constexpr ULONGLONG PRESS_HOLD_MS = Notifier::SETTLE_MS;

}  // namespace

void PrintSwitch::Start(HWND window) {
    printing::ReadChosenPrinter(printer_);
    watch_.Start(window, MESSAGE, printer_);
}

void PrintSwitch::Change(const wchar_t* name) {
    lstrcpynW(printer_, name, printing::NAME_CHARS);
    watch_.Choose(printer_);
}

bool PrintSwitch::Wants(device::DeviceState state, ULONGLONG now_ms, ULONGLONG passes_sent_at) const {
    if (state == device::DeviceState::Absent || queued_) return false;  // the printer is here, or on its way
    return !(passes_sent_at && now_ms - passes_sent_at < PRESS_HOLD_MS);
}

std::optional<Notice> PrintSwitch::Pressed(bool sent, bool queued, ULONGLONG passes_sent_before, bool offline) {
    if (!queued) return Outcome(sent, offline);
    queued_ = true, queuedOffline_ = offline, queuedFrom_ = passes_sent_before;
    return std::nullopt;
}

std::optional<Notice> PrintSwitch::Settle(ULONGLONG passes_sent_at, bool device_idle) {
    if (!queued_ || !device_idle) return std::nullopt;
    queued_ = false;
    return Outcome(passes_sent_at != queuedFrom_, queuedOffline_);
}

// Connected only once the passes went out. A press that could not be made
// waits for the next job, and is told once.
std::optional<Notice> PrintSwitch::Outcome(bool sent, bool offline) {
    const bool said = failureSaid_;
    failureSaid_ = !sent;
    if (sent) return Notice{Text(offline ? TextId::NoticePrintSwitchedOffline : TextId::NoticePrintSwitched), false};
    if (said) return std::nullopt;
    return Notice{Text(TextId::NoticePrintWaits), true};
}
