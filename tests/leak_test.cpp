// The tick and press paths run 100,000 times in process must not grow the
// process: kernel handles, the handles our owners hold, private memory. The
// check is first shown to catch deliberate leaks of each kind.
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iostream>
#include <memory>

#include "FormFixture.h"

namespace {

constexpr int ITERATIONS = 100000;
constexpr int LEAKY_ITERATIONS = 2000;  // enough for any leak of one object per iteration
constexpr int WARM_UP = 1000;
// Allocator noise over a run, far below what one leaked object per
// iteration costs.
constexpr long long PRIVATE_BYTES_ALLOWANCE = 512 * 1024;

struct Usage {
    DWORD gdiObjects = 0;
    DWORD kernelHandles = 0;
    long ownedHandles = 0;
    long long privateBytes = 0;
};

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

Usage Measure() {
    Usage usage;
    usage.gdiObjects = GdiObjects();
    usage.kernelHandles = KernelHandles();
    usage.ownedHandles = common::LiveHandles();
    usage.privateBytes = PrivateBytes();
    return usage;
}

struct Growth {
    long gdiObjects;
    long kernelHandles;
    long ownedHandles;
    long long privateBytes;
    bool Leaks() const {
        return gdiObjects > 0 || kernelHandles > 0 || ownedHandles > 0 || privateBytes > PRIVATE_BYTES_ALLOWANCE;
    }
};

std::ostream& operator<<(std::ostream& out, const Growth& g) {
    return out << "GDI objects +" << g.gdiObjects << ", kernel handles +" << g.kernelHandles << ", owned handles +"
               << g.ownedHandles << ", private bytes +" << g.privateBytes;
}

Growth GrowthOver(const std::function<void(int)>& step, int iterations) {
    for (int i = 0; i < WARM_UP; ++i) step(i);
    support::PumpMessages();
    const Usage before = Measure();
    for (int i = 0; i < iterations; ++i) {
        step(i);
        if (i % 1000 == 0) support::PumpMessages();
    }
    support::PumpMessages();
    const Usage after = Measure();
    return {static_cast<long>(after.gdiObjects) - static_cast<long>(before.gdiObjects),
            static_cast<long>(after.kernelHandles) - static_cast<long>(before.kernelHandles),
            after.ownedHandles - before.ownedHandles, after.privateBytes - before.privateBytes};
}

class LeakTest : public FormFixture {
protected:
    // Ticks and presses with the box flapping, so every write really happens:
    // texts, colours (a new brush each time) and the button.
    void SetUp() override {
        FormFixture::SetUp();
        box->switchOnCommand = 0;
    }
    // Hidden, the window skips painting, which costs far more under Wine than
    // the paths themselves; painting has a visible run of its own. Never
    // activated, so other tests may run beside this one.
    int ShowCommand() const override { return SW_HIDE; }

    void TickAndPress(int i) {
        box->onBus = i % 2;
        form->Command1_Click();
        form->Timer1_Timer();
    }
};

// Each kind of leak, one object per iteration (an owner every hundred), is
// seen by the check: otherwise its silence would prove nothing.
TEST_F(LeakTest, TheCheckCatchesALeakOfEachKind) {
    std::vector<std::function<void()>> frees;
    const struct {
        const char* kind;
        std::function<void(int)> leak;
    } leaks[] = {
        {"a brush",
         [&](int i) {
             HBRUSH b = CreateSolidBrush(RGB(i, 0, 0));
             frees.push_back([b] { DeleteObject(b); });
         }},
        {"an event",
         [&](int) {
             HANDLE e = CreateEventW(nullptr, TRUE, FALSE, nullptr);
             frees.push_back([e] { CloseHandle(e); });
         }},
        {"an owner",
         [&](int i) {
             if (i % 100 == 0) {
                 auto* o = new common::ScopedBrush(CreateSolidBrush(0));
                 frees.push_back([o] { delete o; });
             }
         }},
        {"a kilobyte",
         [&](int) {
             auto* k = new char[1024];
             k[0] = 1;
             frees.push_back([k] { delete[] k; });
         }},
    };
    for (const auto& leak : leaks) {
        frees.reserve(LEAKY_ITERATIONS + WARM_UP);
        const Growth growth = GrowthOver(
            [&](int i) {
                TickAndPress(i);
                leak.leak(i);
            },
            LEAKY_ITERATIONS);
        for (auto& free : frees) free();
        frees.clear();
        frees.shrink_to_fit();
        EXPECT_TRUE(growth.Leaks()) << leak.kind << ": " << growth;
        std::cout << leak.kind << " leaked per iteration: " << growth << "\n";
    }
}

TEST_F(LeakTest, VisibleTicksAndPressesWithTheirPaintingDoNotGrowTheProcess) {
    ShowWindow(form->Handle(), SW_SHOWNA);
    const Growth growth = GrowthOver(
        [&](int i) {
            TickAndPress(i);
            UpdateWindow(form->Handle());
        },
        LEAKY_ITERATIONS);
    EXPECT_FALSE(growth.Leaks()) << growth;
    std::cout << LEAKY_ITERATIONS << " visible ticks and presses: " << growth << "\n";
}

TEST_F(LeakTest, TicksAndPressesDoNotGrowTheProcess) {
    const ULONGLONG start = GetTickCount64();
    const Growth growth = GrowthOver([&](int i) { TickAndPress(i); }, ITERATIONS);
    std::cout << ITERATIONS << " ticks and presses in " << GetTickCount64() - start << " ms: " << growth << "\n";
    EXPECT_FALSE(growth.Leaks()) << growth;
}

}  // namespace
