#include "window/StatusBox.h"

#include <commctrl.h>

#include "window/Contrast.h"
#include "window/Texts.h"

using device::DeviceState;

namespace {

StatusView LibraryView(DeviceState state) {
    const TextId text = state == DeviceState::LibraryMissing      ? TextId::LibraryMissing
                        : state == DeviceState::LibraryIncomplete ? TextId::LibraryIncomplete
                                                                  : TextId::LibraryOtherArchitecture;
    return {Text(text), colours::ABSENT, ButtonChange::Disable, TrayBadge::LibraryProblem};
}

// A multi-line edit asks for every key, Tab and Enter too; the read-only
// status box has no use for them.
LRESULT CALLBACK StatusBoxKeys(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR) {
    if (msg == WM_GETDLGCODE) return DefSubclassProc(hwnd, msg, wParam, lParam) & ~DLGC_WANTALLKEYS;
    if (msg == WM_NCDESTROY) RemoveWindowSubclass(hwnd, StatusBoxKeys, id);
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

}  // namespace

StatusView PollView(DeviceState state) {
    switch (state) {
    case DeviceState::Present:
        return {Text(TextId::Present), colours::PRESENT, ButtonChange::Enable, TrayBadge::Present};
    case DeviceState::Absent: return {Text(TextId::Absent), colours::ABSENT, ButtonChange::Disable, TrayBadge::Absent};
    default: return LibraryView(state);
    }
}

StatusView PressView(DeviceState state) {
    switch (state) {
    case DeviceState::Present:
        return {Text(TextId::ShortPresent), colours::PRESENT, ButtonChange::Keep, TrayBadge::Present};
    case DeviceState::Absent:
        return {Text(TextId::ShortAbsent), colours::ABSENT, ButtonChange::Keep, TrayBadge::Absent};
    default: return LibraryView(state);
    }
}

StatusView NotMadeView(TrayBadge badge) {
    return {Text(TextId::PressNotMade), colours::ABSENT, ButtonChange::Keep, badge};
}

void StatusBox::Attach(HWND box) {
    box_ = box;
    SetWindowSubclass(box, StatusBoxKeys, 0, 0);
}

void StatusBox::SetText(const wchar_t* text) {
    if (text == text_) return;
    text_ = text;
    SetWindowTextW(box_, text);
}

void StatusBox::SetBackColor(COLORREF colour) {
    if (colour == colour_ && brush_) return;
    colour_ = colour;
    brush_.reset(CreateSolidBrush(colour));
    InvalidateRect(box_, nullptr, TRUE);
}

HBRUSH StatusBox::Paint(HDC dc) const {
    SetBkColor(dc, colour_);
    // The system's text colour, unless a scheme makes it unreadable on the fixed colour.
    SetTextColor(dc, contrast::Readable(colour_, {GetSysColor(COLOR_WINDOWTEXT)}));
    return brush_.get();
}
