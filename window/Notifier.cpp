#include "window/Notifier.h"

#include "window/Texts.h"

using device::DeviceState;

Notifier::Kind Notifier::KindOf(DeviceState state) {
    if (device::IsLibraryProblem(state)) return Kind::LibraryProblem;
    return state == DeviceState::Present ? Kind::Present : Kind::Absent;
}

namespace {

// What happened, and where the shared peripheral is now.
const wchar_t* NoticeText(bool from_library_problem, DeviceState now) {
    switch (now) {
    case DeviceState::Present:
        return Text(from_library_problem ? TextId::NoticeLibraryBackPresent : TextId::NoticeBackOnBus);
    case DeviceState::Absent:
        return Text(from_library_problem ? TextId::NoticeLibraryBackAbsent : TextId::NoticeLeftBus);
    case DeviceState::LibraryMissing: return Text(TextId::NoticeLibraryMissing);
    case DeviceState::LibraryOtherArchitecture: return Text(TextId::NoticeLibraryOtherArchitecture);
    default: return Text(TextId::NoticeLibraryIncomplete);
    }
}

}  // namespace

std::optional<Notice> Notifier::Observe(DeviceState state, ULONGLONG now_ms) {
    const Kind kind = KindOf(state);
    if (!seenAny_ || kind != seen_) {
        seenAny_ = true;
        seen_ = kind;
        seenSince_ = now_ms;
    }
    seenState_ = state;
    if (now_ms - seenSince_ < SETTLE_MS) return std::nullopt;

    // Settled. A change that began after the user's switch is theirs; a
    // switch the box has not answered within the settling time changed nothing.
    const bool own = ownSwitch_ && seenSince_ >= *ownSwitch_;
    if (ownSwitch_ && (own || now_ms - *ownSwitch_ >= SETTLE_MS)) ownSwitch_.reset();
    if (settled_ == seen_) return std::nullopt;
    const std::optional<Kind> before = settled_;
    settled_ = seen_;
    if (!before || own) return std::nullopt;
    return Notice{NoticeText(*before == Kind::LibraryProblem, seenState_), kind == Kind::LibraryProblem};
}
