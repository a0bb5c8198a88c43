// The corner poll runs 60 times a second for the life of the process: a tick that does not dispatch
// must not touch the heap. This file replaces the global allocation functions of corners_tests.exe
// to count every allocation made while counting is switched on.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "FakeDesktop.h"
#include "corners/CornerTracker.h"
#include "support/TestSupport.h"

namespace {

bool g_counting = false;
long g_allocations = 0;

void* Allocate(std::size_t size) {
    if (g_counting) ++g_allocations;
    return std::malloc(size ? size : 1);
}

void* AllocateAligned(std::size_t size, std::align_val_t alignment) {
    if (g_counting) ++g_allocations;
    return _aligned_malloc(size ? size : 1, static_cast<std::size_t>(alignment));
}

}  // namespace

void* operator new(std::size_t size) {
    if (void* p = Allocate(size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    if (void* p = Allocate(size)) return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new(std::size_t size, std::align_val_t alignment) {
    if (void* p = AllocateAligned(size, alignment)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
    if (void* p = AllocateAligned(size, alignment)) return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return AllocateAligned(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return AllocateAligned(size, alignment);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { _aligned_free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { _aligned_free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { _aligned_free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { _aligned_free(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { _aligned_free(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { _aligned_free(p); }

namespace {

using fake::g_desktop;

// One scripted tick: where the pointer is, which buttons are down, what happens before it.
struct Tick {
    const char* what;
    POINT pointer;
    bool leftDown;
    void (*before)();
};

TEST(CornerPollAllocation, TicksThatDoNotDispatchAllocateNothing) {
    PlatformGuard platform;
    GlobalsGuard globals;
    fake::MessagesGuard messages;
    fake::InstallFakeDesktop();
    g_desktop.monitors[1] = {{1920, 0, 3840, 1080}, 144};
    g_desktop.monitorCount = 2;
    g_tracker = CornerTracker{};
    g_settings = Settings{};
    g_settings.topLeft = CornerAction::Notchling;
    g_settings.topRight = CornerAction::TaskView;
    g_settings.bottomLeft = CornerAction::Loftmoor;
    g_settings.bottomRight = CornerAction::FramwickRegion;
    g_settings.cornerDwellMs = 1000;

    const Tick script[] = {
        {"first tick", {900, 500}, false, nullptr},
        {"unmoved", {900, 500}, false, nullptr},
        {"moved in the interior", {950, 520}, false, nullptr},
        {"edge band", {950, 0}, false, nullptr},
        {"towards the corner", {1800, 0}, false, nullptr},
        {"dwell starts", {1919, 0}, false, nullptr},
        {"dwelling, unmoved", {1919, 0}, false, nullptr},
        {"dwelling, moved inside", {1917, 2}, false, nullptr},
        {"button down", {1917, 2}, true, nullptr},
        {"button released", {1917, 2}, false, nullptr},
        {"crossing to the next monitor", {1920, 0}, false, nullptr},
        {"second monitor interior", {2800, 500}, false, nullptr},
        {"jump into a corner", {3839, 1079}, false, nullptr},
        {"blocked, unmoved", {3839, 1079}, false, nullptr},
        {"leaving the block", {3839, 900}, false, nullptr},
        {"reset", {3839, 900}, false, [] { ResetCornerTracking(); }},
        {"zone change", {3800, 900}, false, [] { g_settings.edgeZonePx = 20; }},
        {"dpi query failing", {100, 100}, false, [] { g_desktop.dpiResult = E_FAIL; }},
        {"cursor read failing", {100, 100}, false, [] { g_desktop.cursorResult = FALSE; }},
        {"all corners disabled", {0, 0}, false, [] {
             g_settings.topLeft = g_settings.topRight = g_settings.bottomLeft = g_settings.bottomRight =
                 CornerAction::Disabled;
         }},
    };
    constexpr int kTicks = static_cast<int>(sizeof(script) / sizeof(script[0]));
    long allocations[kTicks] = {};
    int dispatchCalls[kTicks] = {};

    DWORD now = 1000;
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < kTicks; ++i) {
            const Tick& tick = script[i];
            if (tick.before) tick.before();
            g_desktop.cursor = tick.pointer;
            g_desktop.leftDown = tick.leftDown;
            g_desktop.now = (now += 16);
            const int before = g_desktop.sendInputCalls + g_desktop.findWindowCalls;
            g_allocations = 0;
            g_counting = true;
            PollCorners();
            g_counting = false;
            allocations[i] += g_allocations;
            dispatchCalls[i] += g_desktop.sendInputCalls + g_desktop.findWindowCalls - before;
        }
        g_desktop.cursorResult = TRUE;
        g_desktop.dpiResult = S_OK;
        g_settings.topLeft = CornerAction::Notchling;
        g_settings.topRight = CornerAction::TaskView;
        g_settings.bottomLeft = CornerAction::Loftmoor;
        g_settings.bottomRight = CornerAction::FramwickRegion;
    }
    for (int i = 0; i < kTicks; ++i) {
        SCOPED_TRACE(script[i].what);
        EXPECT_EQ(dispatchCalls[i], 0);
        EXPECT_EQ(allocations[i], 0);
    }
}

TEST(CornerPollAllocation, TheCounterSeesAllocations) {
    // Guards the test above against a replacement that is silently not linked in.
    g_allocations = 0;
    g_counting = true;
    static int* volatile sink = nullptr;  // keeps the pair from being optimised away
    sink = new int(5);
    g_counting = false;
    delete sink;
    EXPECT_EQ(g_allocations, 1);
}

}  // namespace
