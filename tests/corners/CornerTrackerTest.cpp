// The corner detector tick by tick on the scripted desktop, and what a fired corner sends.
#include <gtest/gtest.h>

#include <string_view>
#include <tuple>
#include <vector>

#include "FakeDesktop.h"

namespace {

using fake::g_desktop;
using Tracker = fake::Test;

const char* Place(ZoneHit hit) {
    constexpr const char* kCorners[] = {"BR", "BL", "TR", "TL"};  // by Corner value
    if (hit.place != ZonePlace::CornerZone) return hit.place == ZonePlace::Interior ? "interior" : "band";
    return kCorners[static_cast<int>(hit.corner)];
}

// Zone 12: distances run from the left/top edge pixel (0) and from the exclusive right/bottom edge (1 for
// the last pixel), each up to 12 and together up to 18. Where zones overlap, TL beats TR beats BL beats BR.
TEST(CornerZone, PlacesOfThePointer) {
    const CornerAction on = CornerAction::TaskView, off = CornerAction::Disabled;
    const Settings all = {on, on, on, on}, tlOff = {off, on, on, on}, onlyBottom = {off, off, on, on};
    const RECT full = {0, 0, 1920, 1080}, left = {-1920, -200, 0, 880}, tiny = {0, 0, 10, 10};
    const struct { RECT monitor; POINT p; Settings watched; const char* place; } cases[] = {
        {full, {0, 0}, all, "TL"}, {full, {12, 6}, all, "TL"}, {full, {12, 7}, all, "band"}, {full, {13, 0}, all, "band"},
        {full, {1919, 1079}, all, "BR"}, {full, {1908, 1074}, all, "BR"}, {full, {1908, 1073}, all, "band"},
        {full, {1907, 1079}, all, "band"}, {full, {1919, 0}, all, "TR"}, {full, {0, 1079}, all, "BL"},
        {full, {13, 13}, all, "interior"}, {full, {1906, 1066}, all, "interior"}, {full, {12, 540}, all, "band"},
        {full, {1908, 540}, all, "band"}, {full, {0, 0}, tlOff, "band"}, {left, {-1920, -200}, all, "TL"},
        {left, {-1, 879}, all, "BR"}, {left, {-13, 879}, all, "band"}, {tiny, {5, 5}, all, "TL"},
        {tiny, {5, 5}, tlOff, "TR"}, {tiny, {5, 5}, onlyBottom, "BL"}, {tiny, {5, 5}, {off, off, off, on}, "BR"},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(Place(LocatePointer(c.p, c.monitor, 12, c.watched)), c.place) << c.p.x << ", " << c.p.y;
    for (const auto& [zone, dpi, scaled] : {std::tuple(12, 144u, 18), {28, 192u, 56}, {12, 0u, 12}})
        EXPECT_EQ(ScaleZoneToDpi(zone, dpi), scaled) << dpi;
}

// Inputs of a tick besides the buttons: the tracking is reset first (settings, display or session change);
// the pointer cannot be read (a UAC prompt or Ctrl+Alt+Del has the input); SendInput refuses every key.
constexpr int kReset = 0x100, kFail = 0x200, kRefuse = 0x400;
struct Tick { int x, y; DWORD dt; int input = 0; };  // dt: milliseconds after the previous tick

int Chords() {
    int chords = 0;
    for (std::string_view log = g_desktop.log; log.find("Tab- ") != log.npos; log.remove_prefix(log.find("Tab- ") + 1))
        ++chords;
    return chords;
}

// Task View chords completed with the top-left and top-right corners watched.
TEST_F(Tracker, CornerVisits) {
    const std::vector<Tick> fired = {{50, 50, 0}, {0, 0, 16}, {0, 0, 400}};  // a rest of 350 ms fires
    const auto then = [&](std::vector<Tick> more) { return more.insert(more.begin(), fired.begin(), fired.end()), more; };
    const struct { const char* name; std::vector<Tick> ticks; int chords, dwellMs = 350, zonePx = 12;
                   DWORD start = 1000; } cases[] = {
        {"dwell 300 ms, rest 299 ms", {{50, 50, 0}, {0, 0, 16}, {0, 0, 299}}, 0, 300},
        {"dwell 300 ms, rest 300 ms", {{50, 50, 0}, {0, 0, 16}, {0, 0, 300}}, 1, 300},
        {"top right, dwell 300 ms, rest 449 ms", {{1870, 50, 0}, {1919, 0, 16}, {1919, 0, 449}}, 0, 300},
        {"top right, dwell 300 ms, rest 450 ms", {{1870, 50, 0}, {1919, 0, 16}, {1919, 0, 450}}, 1, 300},
        {"across the wrap of the tick counter", fired, 1, 350, 12, 0xFFFFFF00u},
        {"moved 239 px into the corner", {{239, 0, 0}, {0, 0, 16}, {0, 0, 5000}}, 1},
        {"jumped 240 px into the corner", {{240, 0, 0}, {0, 0, 16}, {0, 0, 5000}}, 0},
        {"jumped 120 + 120 px into the corner", {{120, 120, 0}, {0, 0, 16}, {0, 0, 5000}}, 0},
        {"144 DPI, zone 28: moved 335 px", {{2255, 0, 0}, {1920, 0, 16}, {1920, 0, 5000}}, 1, 350, 28},
        {"144 DPI, zone 28: jumped 336 px", {{2256, 0, 0}, {1920, 0, 16}, {1920, 0, 5000}}, 0, 350, 28},
        {"moving inside a fired corner", then({{3, 3, 16}, {5, 2, 2000}}), 1},
        {"jumped in, a right click releases the block", {{900, 500, 0}, {0, 0, 16}, {0, 0, 16, VK_RBUTTON},
                                                          {0, 0, 16}, {0, 0, 400}}, 1},
        {"dragged in with the middle button, released", {{900, 500, 0}, {0, 0, 16, VK_MBUTTON}, {0, 0, 16},
                                                           {0, 0, 400}}, 1},
        {"reset while dwelling", {{50, 50, 0}, {0, 0, 16}, {0, 0, 100, kReset}, {3, 3, 16}, {3, 3, 5000}}, 0},
        {"reset, left for the edge band and back", {{50, 50, 0}, {0, 0, 16}, {0, 0, 100, kReset}, {40, 0, 16},
                                                    {2, 2, 16}, {2, 2, 400}}, 1},
        {"fired, unreadable, resting on", then({{0, 0, 16, kFail}, {0, 0, 1000, kFail}, {0, 0, 16}, {0, 0, 5000}}), 1},
        {"fired, unreadable, left and back", then({{0, 0, 16, kFail}, {40, 0, 16}, {2, 2, 16}, {2, 2, 500}}), 2},
        {"unreadable in the edge band is not (0, 0)", {{40, 0, 0}, {40, 0, 16, kFail}, {40, 0, 5000, kFail}}, 0},
        {"refused chord, tried on the next tick", {{50, 50, 0}, {0, 0, 16}, {0, 0, 350, kRefuse}, {0, 0, 16}}, 1},
        {"second corner 449 ms after the first", {{1850, 60, 0}, {1919, 0, 16}, {1919, 0, 500}, {1920, 0, 16},
                                                   {1920, 0, 433}}, 1},
        {"second corner 450 ms after the first", {{1850, 60, 0}, {1919, 0, 16}, {1919, 0, 500}, {1920, 0, 16},
                                                   {1920, 0, 434}}, 2},
    };
    for (const auto& c : cases) {
        SetUp();
        g_settings.topLeft = CornerAction::TaskView;
        g_settings.cornerDwellMs = c.dwellMs, g_settings.edgeZonePx = c.zonePx;
        DWORD now = c.start;
        for (const Tick& t : c.ticks) {
            if (t.input & kReset) ResetCornerTracking();
            g_desktop.buttons = t.input & 7, g_desktop.cursorResult = !(t.input & kFail);
            for (UINT& answer : g_desktop.inputAnswers) answer = !(t.input & kRefuse);
            fake::TickAt(t.x, t.y, now += t.dt);
        }
        EXPECT_EQ(Chords(), c.chords) << c.name;
    }
}

// A refused Tab still releases the Windows key (or it would stay stuck). Notchling gets x and y cut to 16 bits
// each: (-1920, 0) is the top-left pixel of a monitor left of the primary one.
TEST_F(Tracker, WhatAFiredCornerSends) {
    using enum CornerAction;
    const struct { CornerAction action; POINT point; int refused; bool result; const char* log; } cases[] = {
        {TaskView, {}, 0, false, "Win+ "}, {TaskView, {}, 1, false, "Win+ Tab+ Win- "},
        {Notchling, {-1920, 0}, -1, true, "0xc103 1 0xf880 "}, {Notchling, {0, -1}, -1, true, "0xc103 1 0xffff0000 "},
    };
    for (const auto& c : cases) {
        SetUp();
        g_desktop.running = L"Notchling.Main";
        if (c.refused >= 0) g_desktop.inputAnswers[c.refused] = 0;
        g_settings.topLeft = c.action;
        EXPECT_EQ(DispatchCornerAction(Corner::TopLeft, c.point), c.result) << c.log;
        EXPECT_STREQ(g_desktop.log, c.log);
    }
}

}  // namespace
