#include "cli/Output.h"

namespace cli {

Line& Line::operator<<(const wchar_t* more) {
    while (*more && length + 1 < static_cast<int>(sizeof text / sizeof text[0])) text[length++] = *more++;
    text[length] = 0;
    return *this;
}

Line& Line::operator<<(long long number) {
    if (number < 0) *this << L"-";
    const unsigned long long magnitude = number < 0 ? 0ull - static_cast<unsigned long long>(number) : number;
    wchar_t digits[24];
    int n = 0;
    for (unsigned long long rest = magnitude; n == 0 || rest; rest /= 10)
        digits[n++] = static_cast<wchar_t>(L'0' + rest % 10);
    wchar_t reversed[24];
    for (int i = 0; i < n; ++i) reversed[i] = digits[n - 1 - i];
    reversed[n] = 0;
    return *this << reversed;
}

Line& Line::Digits(unsigned number, int width) {
    wchar_t digits[12] = {};
    for (int i = width - 1; i >= 0; --i, number /= 10) digits[i] = static_cast<wchar_t>(L'0' + number % 10);
    return *this << digits;
}

const wchar_t* StateWord(const remote::Outcome& outcome) {
    if (outcome.route == remote::Route::Busy) return L"busy";
    if (outcome.route == remote::Route::Refused) return L"refused";
    if (outcome.route == remote::Route::Unconfirmed) return L"unconfirmed";
    switch (outcome.state) {
    case device::DeviceState::Present: return L"present";
    case device::DeviceState::Absent: return L"absent";
    case device::DeviceState::LibraryMissing: return L"library-missing";
    case device::DeviceState::LibraryIncomplete: return L"library-incomplete";
    case device::DeviceState::LibraryOtherArchitecture: return OTHER_ARCHITECTURE_WORD;
    }
    return L"";
}

Line Json(const remote::Outcome& outcome, const wchar_t* time) {
    Line line;
    line << L"{";
    if (time) line << L"\"time\": \"" << time << L"\", ";
    line << L"\"state\": \"" << StateWord(outcome) << L"\", \"status\": ";
    if (remote::NothingDone(outcome) || device::IsLibraryProblem(outcome.state))
        return line << L"null, \"port\": null}";
    return line << static_cast<long long>(outcome.status) << L", \"port\": " << static_cast<long long>(outcome.portByte)
                << L"}";
}

Line IsoTime(const SYSTEMTIME& local, int utc_offset_minutes) {
    const unsigned offset = static_cast<unsigned>(utc_offset_minutes < 0 ? -utc_offset_minutes : utc_offset_minutes);
    Line line;
    line.Digits(local.wYear, 4) << L"-";
    line.Digits(local.wMonth, 2) << L"-";
    line.Digits(local.wDay, 2) << L"T";
    line.Digits(local.wHour, 2) << L":";
    line.Digits(local.wMinute, 2) << L":";
    line.Digits(local.wSecond, 2) << L".";
    line.Digits(local.wMilliseconds, 3) << (utc_offset_minutes < 0 ? L"-" : L"+");
    line.Digits(offset / 60, 2) << L":";
    line.Digits(offset % 60, 2);
    return line;
}

}  // namespace cli
