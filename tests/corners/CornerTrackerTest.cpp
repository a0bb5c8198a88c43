// The corner detector: zone geometry, then tick by tick on a scripted desktop, then what a tick costs.
// This exe's operator new (which new[] and the nothrow forms call too) counts while counting is on.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <tuple>
#include <utility>

#include "FakeDesktop.h"

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
using fake::State;
using fake::TickAt;
using Tracker = fake::Test;

// Distances run from the left/top edge pixel (0) and from the exclusive right/bottom edge (1 for the
// last pixel); a zone z is a z-by-z square with its tip cut where the two distances add up to 1.5 z.
TEST(CornerZone, MembershipInteriorEdgeBandAndOverlap) {
    using enum Corner;
    const CornerAction on = CornerAction::TaskView, off = CornerAction::Disabled;
    const Settings all = {on, on, on, on};
    for (const auto& [dpi, z] : {std::pair<UINT, int>{96, 12}, {144, 18}, {192, 24}}) {
        ASSERT_EQ(ScaleZoneToDpi(12, dpi), z);
        const int h = z / 2;
        // {dx, dy, inside}; 0 stands for the edge pixel. At 96 DPI {z, h} and {z, h + 1} are (12, 6) and (12, 7).
        const struct { int dx, dy; bool inside; } rows[] = {
            {0, 0, true}, {z, 0, true}, {0, z, true}, {z + 1, 0, false}, {0, z + 1, false},
            {z, h, true}, {z, h + 1, false}, {h + 1, z, false}};
        for (const RECT& m : {RECT{0, 0, 1920, 1080}, RECT{-1920, -200, 0, 880}}) {
            for (Corner corner : {TopLeft, TopRight, BottomLeft, BottomRight}) {
                const bool left = corner == TopLeft || corner == BottomLeft;
                const bool top = corner == TopLeft || corner == TopRight;
                for (const auto& r : rows) {
                    const int dx = r.dx ? r.dx : !left, dy = r.dy ? r.dy : !top;
                    const POINT at = {left ? m.left + dx : m.right - dx, top ? m.top + dy : m.bottom - dy};
                    const ZoneHit hit = LocatePointer(at, m, z, all);
                    EXPECT_EQ(hit.place == ZonePlace::CornerZone && hit.corner == corner, r.inside)
                        << dpi << " DPI, corner " << static_cast<int>(corner) << " at (" << at.x << ", " << at.y << ")";
                }
            }
        }
    }
    // Interior and edge band at 96 DPI; on a tiny monitor (5, 5) lies in all four zones.
    const RECT full = {0, 0, 1920, 1080}, tiny = {0, 0, 10, 10};
    const struct { RECT monitor; POINT p; Settings watched; ZonePlace place; Corner corner; } cases[] = {
        {full, {13, 13}, all, ZonePlace::Interior, {}},  {full, {1906, 1066}, all, ZonePlace::Interior, {}},
        {full, {12, 540}, all, ZonePlace::EdgeBand, {}}, {full, {1908, 540}, all, ZonePlace::EdgeBand, {}},
        {full, {0, 0}, {off, on, off, off}, ZonePlace::EdgeBand, {}},  // an unwatched corner
        {tiny, {5, 5}, all, ZonePlace::CornerZone, TopLeft},
        {tiny, {5, 5}, {off, on, on, on}, ZonePlace::CornerZone, TopRight},
        {tiny, {5, 5}, {off, off, on, on}, ZonePlace::CornerZone, BottomLeft},
        {tiny, {5, 5}, {off, off, off, on}, ZonePlace::CornerZone, BottomRight},
    };
    for (const auto& c : cases) {
        const ZoneHit hit = LocatePointer(c.p, c.monitor, 12, c.watched);
        EXPECT_EQ(std::pair(hit.place, hit.place == ZonePlace::CornerZone ? hit.corner : Corner{}),
                  std::pair(c.place, c.corner)) << "row " << &c - cases;
    }
}

TEST_F(Tracker, EveryStateChange) {
    constexpr int kReset = 0x100;  // not a button: the tracking is reset before the tick
    g_settings.topLeft = CornerAction::TaskView;
    const struct { const char* what; int x, y; DWORD now; int input; const char* state; } steps[] = {
        {"interior", 50, 50, 1000, 0, "Idle"},                      {"into the corner", 0, 0, 1016, 0, "Dwelling"},
        {"350 ms", 0, 0, 1366, 0, "Fired"},                         {"moved inside, later", 3, 3, 3000, 0, "Fired"},
        {"edge band", 40, 0, 3016, 0, "Idle"},                      {"back in the corner", 2, 2, 3032, 0, "Dwelling"},
        {"left button", 2, 2, 3048, VK_LBUTTON, "Idle"},            {"held", 2, 2, 5000, VK_LBUTTON, "Idle"},
        {"released: new dwell", 2, 2, 5016, 0, "Dwelling"},         {"reset, resting", 2, 2, 5032, kReset, "Blocked"},
        {"resting, later", 2, 2, 9000, 0, "Blocked"},               {"edge band: unblock", 40, 0, 9016, 0, "Idle"},
        {"interior", 900, 500, 9032, 0, "Idle"},                    {"jump in", 0, 0, 9048, 0, "Blocked"},
        {"right button: unblock", 0, 0, 9064, VK_RBUTTON, "Idle"},  {"interior", 900, 500, 9080, 0, "Idle"},
        {"dragged in", 0, 0, 9096, VK_MBUTTON, "Idle"},             {"released: no jump", 0, 0, 9112, 0, "Dwelling"},
        {"350 ms later", 0, 0, 9462, 0, "Fired"},
    };
    for (const auto& s : steps) {
        if (s.input & kReset) ResetCornerTracking();
        g_desktop.buttons = s.input & ~kReset;
        TickAt(s.x, s.y, s.now);
        EXPECT_STREQ(State(), s.state) << s.what;
    }
    EXPECT_EQ(g_desktop.inputs, 2 * 4) << "two Task View chords of four inputs";
}

// A failed position read is not (0, 0): that would rest the pointer in the top-left corner and fire it.
TEST_F(Tracker, UnreadablePointerNeverRestsInTheTopLeftCorner) {
    g_settings.topLeft = CornerAction::TaskView;
    TickAt(40, 0, 1000);  // edge band, a short move from the corner
    g_desktop.cursorResult = FALSE;
    for (DWORD now = 1016; now < 3000; now += 16) TickAt(now);
    EXPECT_STREQ(State(), "Idle");
    EXPECT_EQ(g_desktop.inputs, 0);
    g_desktop.cursorResult = TRUE;  // the next read runs the full test again
    TickAt(2, 2, 3016);
    EXPECT_STREQ(State(), "Dwelling");
}

// Resting in a corner fires after the dwell, 150 ms later in the top-right one; a move into the corner
// of max(240, 8 zones) pixels or more is a jump and never fires.
TEST_F(Tracker, DwellAndJump) {
    const struct { int dwellMs, zonePx; POINT from, corner; DWORD start, firesAfter; /* 0: never */ } cases[] = {
        {350, 12, {50, 1030}, {0, 1079}, 1000, 350}, {350, 12, {1870, 50}, {1919, 0}, 1000, 500},
        {300, 12, {50, 50}, {0, 0}, 1000, 300},      {300, 12, {1870, 50}, {1919, 0}, 1000, 450},
        {350, 12, {50, 50}, {0, 0}, 0xFFFFFF00u, 350},  // 256 ms before the tick counter wraps
        {350, 12, {239, 0}, {0, 0}, 1000, 350},      {350, 12, {240, 0}, {0, 0}, 1000, 0},
        {350, 12, {120, 120}, {0, 0}, 1000, 0},
        {350, 28, {2255, 0}, {1920, 0}, 1000, 350},  {350, 28, {2256, 0}, {1920, 0}, 1000, 0},  // 144 DPI: 42 px
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "row " << &c - cases);
        SetUp();
        g_settings.topLeft = g_settings.bottomLeft = CornerAction::TaskView;
        g_settings.cornerDwellMs = c.dwellMs, g_settings.edgeZonePx = c.zonePx;
        TickAt(c.from.x, c.from.y, c.start - 16);
        TickAt(c.corner.x, c.corner.y, c.start);
        const DWORD due = c.start + (c.firesAfter ? c.firesAfter : 5000);
        TickAt(due - 1);
        EXPECT_EQ(g_desktop.inputs, 0);
        TickAt(due);
        EXPECT_EQ(g_desktop.inputs, c.firesAfter ? 4 : 0);
    }
}

TEST_F(Tracker, FailedDispatchIsRetriedOnEveryTick) {
    g_settings.topLeft = CornerAction::TaskView;
    g_desktop.inputAnswers[0] = g_desktop.inputAnswers[1] = g_desktop.inputAnswers[2] = 0;  // three chords refused
    TickAt(50, 50, 1000);
    for (DWORD t = 1016; t <= 1446; t += 16) TickAt(0, 0, t);  // due at 1366
    EXPECT_EQ(g_desktop.inputs, 3 + 4);
    EXPECT_STREQ(State(), "Fired");
}

TEST_F(Tracker, SecondCornerWaits450MsAfterTheFirstAction) {
    g_settings.topLeft = CornerAction::TaskView;  // the right monitor's top-left touches the left one's top-right
    TickAt(1850, 60, 1000);
    TickAt(1919, 0, 1016);
    TickAt(1516);                                              // fired: the top-right corner waits 500 ms
    for (DWORD t : {1532u, 1882u, 1965u}) TickAt(1920, 0, t);  // dwell complete at 1882, 366 ms after it
    EXPECT_EQ(g_desktop.inputs, 4);
    TickAt(1966);
    EXPECT_EQ(g_desktop.inputs, 8);
}

long AllocationsOf(void (*work)()) {
    g_allocations = 0, g_counting = true;
    work();
    g_counting = false;
    return g_allocations;
}

// The poll runs 60 times a second: a tick that does not dispatch must not touch the heap, and an
// unmoved one asks the pointer once (none with every corner disabled), at most three buttons, no monitor.
TEST_F(Tracker, CostOfATick) {
    static int* volatile sink = nullptr;  // keeps the allocations from being optimised away
    ASSERT_EQ(AllocationsOf([] { sink = new int(5); delete sink; sink = new int[3]; delete[] sink; }), 2);
    g_settings.topLeft = g_settings.bottomLeft = g_settings.bottomRight = CornerAction::TaskView;
    g_settings.cornerDwellMs = 1000;  // the whole script runs within one dwell: nothing dispatches
    const struct { const char* what; POINT pointer; void (*before)(); int unmovedQueries; /* -1: moved */ } script[] = {
        {"first tick", {900, 500}, nullptr, -1}, {"unmoved in the interior", {900, 500}, nullptr, 1},
        {"edge band", {1800, 0}, nullptr, -1}, {"unmoved in the edge band", {1800, 0}, nullptr, 1},
        {"dwell starts", {1919, 0}, nullptr, -1}, {"dwelling, unmoved", {1919, 0}, nullptr, 1},
        {"button down", {1917, 2}, [] { g_desktop.buttons = VK_LBUTTON; }, -1},
        {"button released", {1917, 2}, [] { g_desktop.buttons = 0; }, -1},
        {"onto the 144 DPI monitor", {1920, 0}, nullptr, -1}, {"jump into a corner", {3839, 1079}, nullptr, -1},
        {"leaving the block", {3839, 900}, nullptr, -1}, {"reset", {3839, 900}, [] { ResetCornerTracking(); }, -1},
        {"zone setting changed", {3800, 900}, [] { g_settings.edgeZonePx = 20; }, -1},
        {"all corners disabled", {3800, 900}, [] { g_settings = {}, g_settings.topRight = {}; }, 0},
    };
    for (const auto& tick : script) {
        if (tick.before) tick.before();
        g_desktop.cursor = tick.pointer, g_desktop.now += 16;
        g_desktop.cursorQueries = g_desktop.keyQueries = g_desktop.monitorQueries = 0;
        EXPECT_EQ(AllocationsOf(PollCorners), 0) << tick.what;
        if (tick.unmovedQueries < 0) continue;
        EXPECT_EQ(std::tuple(g_desktop.cursorQueries, g_desktop.keyQueries <= 3, g_desktop.monitorQueries),
                  std::tuple(tick.unmovedQueries, true, 0)) << tick.what << ", key queries " << g_desktop.keyQueries;
    }
    EXPECT_EQ(g_desktop.inputs, 0);
}

}  // namespace
