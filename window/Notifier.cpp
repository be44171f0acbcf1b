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
        return from_library_problem ? texts::NOTICE_LIBRARY_BACK_PRESENT : texts::NOTICE_BACK_ON_BUS;
    case DeviceState::Absent: return from_library_problem ? texts::NOTICE_LIBRARY_BACK_ABSENT : texts::NOTICE_LEFT_BUS;
    case DeviceState::LibraryMissing: return texts::NOTICE_LIBRARY_MISSING;
    case DeviceState::LibraryOtherArchitecture: return texts::NOTICE_LIBRARY_OTHER_ARCHITECTURE;
    default: return texts::NOTICE_LIBRARY_INCOMPLETE;
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
