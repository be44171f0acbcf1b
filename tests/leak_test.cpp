// The tick and press paths run 100,000 times in process must not grow the
// process: GDI objects, kernel handles, the handles our owners hold, private
// memory. The check is first shown to catch deliberate leaks of each kind.
#include <functional>
#include <iostream>
#include <memory>

#include "FormFixture.h"
#include "device/BoxLock.h"
#include "tray/APIStuff.h"

namespace {

constexpr int ITERATIONS = 100000;
constexpr int LEAKY_ITERATIONS = 2000;  // enough for any leak of one object per iteration
constexpr int WARM_UP = 1000;
// Allocator noise over a run, far below what one leaked object per
// iteration costs.
constexpr long long PRIVATE_BYTES_ALLOWANCE = 512 * 1024;

// Committed private memory, counted region by region: the process memory
// counters read 0 under Wine.
long long PrivateBytes() {
    long long total = 0;
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    MEMORY_BASIC_INFORMATION region;
    for (auto* at = static_cast<const char*>(system.lpMinimumApplicationAddress);
         VirtualQuery(at, &region, sizeof region) == sizeof region;) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE)
            total += static_cast<long long>(region.RegionSize);
        const char* next = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
        if (next <= at || next > system.lpMaximumApplicationAddress) break;
        at = next;
    }
    return total;
}

// Open kernel handles, found by asking after each possible handle value:
// GetProcessHandleCount is not kept under Wine.
DWORD KernelHandles() {
    constexpr uintptr_t STEP = 4;
    constexpr uintptr_t GAP = 16384;  // values past the last open handle before we stop
    DWORD count = 0;
    uintptr_t lastOpen = 0;
    for (uintptr_t value = STEP; value < lastOpen + GAP * STEP; value += STEP) {
        DWORD flags;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) {
            ++count;
            lastOpen = value;
        }
    }
    return count;
}

// Live GDI objects. GetGuiResources is not kept under Wine, whose GDI handles
// carry their table index in the low word and are found by it alone; on
// Windows this finds none, and the other counts remain.
DWORD GdiObjects() {
    DWORD count = 0;
    for (UINT_PTR index = 1; index < 0x10000; ++index) count += GetObjectType(reinterpret_cast<HGDIOBJ>(index)) != 0;
    return count;
}

// What the process holds; the difference of two is its growth.
struct Usage {
    long gdiObjects, kernelHandles, ownedHandles;
    long long privateBytes;
    Usage operator-(const Usage& o) const {
        return {gdiObjects - o.gdiObjects, kernelHandles - o.kernelHandles, ownedHandles - o.ownedHandles,
                privateBytes - o.privateBytes};
    }
    bool Leaks() const {
        return gdiObjects > 0 || kernelHandles > 0 || ownedHandles > 0 || privateBytes > PRIVATE_BYTES_ALLOWANCE;
    }
};

Usage Measure() { return {long(GdiObjects()), long(KernelHandles()), common::LiveHandles(), PrivateBytes()}; }

std::ostream& operator<<(std::ostream& out, const Usage& g) {
    return out << "GDI objects +" << g.gdiObjects << ", kernel handles +" << g.kernelHandles << ", owned handles +"
               << g.ownedHandles << ", private bytes +" << g.privateBytes;
}

// The shell, taking every icon without a word: the program's own handles are
// counted, not Explorer's work, and no icon flickers beside the other tests.
BOOL AcceptIcon(DWORD, tray::TrayRecordBytes&) { return TRUE; }

class LeakTest : public FormFixture {
protected:
    // A registry of its own where the hotkey is off: this test runs beside
    // the others, which need the switch hotkey free.
    void SetUp() override {
        support::SetRegValue(L"Software\\VarnosklenLeakTest\\Software\\Varnosklen", L"Hotkey", L"");
        RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\VarnosklenLeakTest", 0, KEY_ALL_ACCESS, &hive_);
        RegOverridePredefKey(HKEY_CURRENT_USER, hive_);
        APIStuff::ShellNotifyIcon = &AcceptIcon;
        device::BoxLockName = L"Local\\VarnosklenLeakTest.Box";  // its ticks hold no other test's box
        FormFixture::SetUp();
    }
    void TearDown() override {
        FormFixture::TearDown();
        APIStuff::ShellNotifyIcon = &APIStuff::CallShell;
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        RegCloseKey(hive_);
    }
    // Hidden, the window skips painting, which costs far more under Wine than
    // the paths themselves; painting has a run of its own. Never activated,
    // so other tests may run beside this one.
    int ShowCommand() const override { return SW_HIDE; }

    // Ticks and presses with the box flapping, so every write really happens:
    // texts, colours (a new brush each time) and the button; and whatever
    // else each iteration does.
    Usage GrowthOver(
        int iterations, const std::function<void(int)>& also = [](int) {}) {
        box->switchOnCommand = 0;
        const auto step = [&](int i) {
            box->onBus = i % 2;
            form->Command1_Click();
            form->Timer1_Timer();
            also(i);
            if (i % 1000 == 0) support::PumpMessages();
        };
        for (int i = 0; i < WARM_UP; ++i) step(i);
        const Usage before = Measure();
        for (int i = 0; i < iterations; ++i) step(i);
        support::PumpMessages();
        return Measure() - before;
    }

    HKEY hive_ = nullptr;
};

// A leak of one object an iteration (an owner every hundred) of each kind is
// seen: otherwise the check's silence would prove nothing.
TEST_F(LeakTest, TheCheckCatchesALeakOfEachKind) {
    std::vector<HGDIOBJ> brushes;
    std::vector<HANDLE> events;
    std::vector<common::ScopedBrush> owners;
    std::vector<std::unique_ptr<char[]>> kilobytes;
    const struct {
        const char* kind;
        std::function<void(int)> leak;
    } leaks[] = {
        {"a brush", [&](int i) { brushes.push_back(CreateSolidBrush(RGB(i, 0, 0))); }},
        {"an event", [&](int) { events.push_back(CreateEventW(nullptr, TRUE, FALSE, nullptr)); }},
        {"an owner", [&](int i) { owners.emplace_back(i % 100 ? nullptr : CreateSolidBrush(0)); }},
        {"a kilobyte", [&](int) { kilobytes.emplace_back(new char[1024]()); }},
    };
    brushes.reserve(LEAKY_ITERATIONS + WARM_UP), events.reserve(LEAKY_ITERATIONS + WARM_UP);
    owners.reserve(LEAKY_ITERATIONS + WARM_UP), kilobytes.reserve(LEAKY_ITERATIONS + WARM_UP);
    for (const auto& leak : leaks) {
        const Usage growth = GrowthOver(LEAKY_ITERATIONS, leak.leak);
        EXPECT_TRUE(growth.Leaks()) << leak.kind << ": " << growth;
        std::cout << leak.kind << " leaked an iteration: " << growth << "\n";
    }
    for (HGDIOBJ brush : brushes) DeleteObject(brush);
    for (HANDLE event : events) CloseHandle(event);
}

// Shown and painted for a while, then hidden for the whole run.
TEST_F(LeakTest, TicksAndPressesDoNotGrowTheProcess) {
    ShowWindow(form->Handle(), SW_SHOWNA);
    const Usage painted = GrowthOver(LEAKY_ITERATIONS, [&](int) { UpdateWindow(form->Handle()); });
    EXPECT_FALSE(painted.Leaks()) << painted;
    std::cout << LEAKY_ITERATIONS << " painted ticks and presses: " << painted << "\n";
    ShowWindow(form->Handle(), SW_HIDE);
    const ULONGLONG start = GetTickCount64();
    const Usage growth = GrowthOver(ITERATIONS);
    std::cout << ITERATIONS << " ticks and presses in " << GetTickCount64() - start << " ms: " << growth << "\n";
    EXPECT_FALSE(growth.Leaks()) << growth;
}

}  // namespace
