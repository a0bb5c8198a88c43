// The corner poll runs 60 times a second for the life of the process: a tick that does not dispatch
// must not touch the heap. This exe's operator new (which the static C++ runtime's new[] and nothrow
// forms call too) counts allocations while counting is on.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "FakeDesktop.h"
#include "support/TestSupport.h"

namespace {
bool g_counting = false;
long g_allocations = 0;
}  // namespace

void* operator new(std::size_t size) {
    if (g_counting) ++g_allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}

namespace {

using fake::g_desktop;

TEST(CornerPollAllocation, TicksThatDoNotDispatchAllocateNothing) {
    PlatformGuard platform;
    GlobalsGuard globals;
    fake::Install();
    g_settings.topLeft = CornerAction::Notchling;
    g_settings.bottomLeft = CornerAction::Loftmoor;
    g_settings.bottomRight = CornerAction::FramwickRegion;
    g_settings.cornerDwellMs = 1000;  // the whole script runs within one dwell: nothing dispatches
    struct Tick { const char* what; POINT pointer; int buttons; void (*before)(); };
    const Tick script[] = {
        {"first tick", {900, 500}, 0, nullptr},
        {"unmoved", {900, 500}, 0, nullptr},
        {"moved in the interior", {950, 520}, 0, nullptr},
        {"edge band", {1800, 0}, 0, nullptr},
        {"dwell starts", {1919, 0}, 0, nullptr},
        {"dwelling, unmoved", {1919, 0}, 0, nullptr},
        {"dwelling, moved inside", {1917, 2}, 0, nullptr},
        {"button down", {1917, 2}, VK_LBUTTON, nullptr},
        {"button released", {1917, 2}, 0, nullptr},
        {"onto the 144 DPI monitor", {1920, 0}, 0, nullptr},
        {"jump into a corner", {3839, 1079}, 0, nullptr},
        {"leaving the block", {3839, 900}, 0, nullptr},
        {"reset", {3839, 900}, 0, [] { ResetCornerTracking(); }},
        {"zone setting changed", {3800, 900}, 0, [] { g_settings.edgeZonePx = 20; }},
        {"all corners disabled", {0, 0}, 0, [] { g_settings = {}; g_settings.topRight = CornerAction::Disabled; }},
    };
    DWORD now = 1000;
    for (const Tick& tick : script) {
        if (tick.before) tick.before();
        g_desktop.cursor = tick.pointer;
        g_desktop.buttons = tick.buttons;
        g_desktop.now = (now += 16);
        g_allocations = 0;
        g_counting = true;
        PollCorners();
        g_counting = false;
        EXPECT_EQ(g_allocations, 0) << tick.what;
        EXPECT_EQ(g_desktop.inputs + g_desktop.finds, 0) << tick.what;
    }
}

TEST(CornerPollAllocation, TheCounterSeesAllocations) {
    // Guards the test above against a replacement that is silently not linked in.
    static int* volatile sink = nullptr;  // keeps the allocations from being optimised away
    g_allocations = 0;
    g_counting = true;
    sink = new int(5);
    delete sink;
    sink = new int[3];
    delete[] sink;
    g_counting = false;
    EXPECT_EQ(g_allocations, 2);
}

}  // namespace
