// What a fired corner sends: the Task View chord and the companions' toggle messages.
#include <gtest/gtest.h>

#include "FakeDesktop.h"
#include "corners/Dispatch.h"

namespace {

using fake::g_desktop;
using Dispatch = fake::Test;

// Loftmoor falls back to its former class Tessawell.Main (with that one's message). Notchling gets the
// pointer, x and y cut to 16 bits: (-1920, 0) is the top-left pixel of a monitor left of the primary.
TEST_F(Dispatch, WhatAFiredCornerSends) {
    using enum CornerAction;
    const wchar_t *both = L"Loftmoor.Main Tessawell.Main", *tessawell = L"Tessawell.Main";
    const wchar_t* notchling = L"Notchling.Main";
    const struct { const char* name; CornerAction action; POINT point; const wchar_t* running; void (*before)();
                   bool result; const char* log; } cases[] = {
        {"chord", TaskView, {}, L"", nullptr, true, "Win+ Tab+ Tab- Win- "},
        {"Windows key refused", TaskView, {}, L"", [] { g_desktop.inputAnswers[0] = 0; }, false, "Win+ "},
        {"Tab refused, Win released", TaskView, {}, L"", [] { g_desktop.inputAnswers[1] = 0; }, false,
         "Win+ Tab+ Win- "},
        {"only Tessawell running", Loftmoor, {}, tessawell, nullptr, true, "Tessawell.Main 0xc102 0 0 "},
        {"both running", Loftmoor, {}, both, nullptr, true, "Loftmoor.Main 0xc101 0 0 "},
        {"neither running", Loftmoor, {}, L"", nullptr, false, ""},
        {"registration failed", Loftmoor, {}, L"Loftmoor.Main", [] { g_messages.loftmoorToggle = 0; }, false, ""},
        {"Notchling", Notchling, {-1920, 0}, notchling, nullptr, true, "Notchling.Main 0xc103 1 0xf880 "},
        {"nothing above bit 31", Notchling, {0, -1}, notchling, nullptr, true, "Notchling.Main 0xc103 1 0xffff0000 "},
    };
    for (const auto& c : cases) {
        SetUp();
        g_desktop.running = c.running;
        if (c.before) c.before();
        g_settings.topLeft = c.action;
        EXPECT_EQ(DispatchCornerAction(Corner::TopLeft, c.point), c.result) << c.name;
        EXPECT_STREQ(g_desktop.log, c.log) << c.name;
    }
}

}  // namespace
