// The corner detector: zone geometry, then tick by tick on the scripted desktop.
#include <gtest/gtest.h>

#include <tuple>
#include <utility>

#include "FakeDesktop.h"

namespace {

using fake::g_desktop;
using fake::TickAt;
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

const char* State() {
    return g_tracker.blocked ? "Blocked" : !g_tracker.dwellActive ? "Idle" : g_tracker.fired ? "Fired" : "Dwelling";
}

// Moving inside a fired corner fires nothing more; a reset (settings, display, session) or a jump blocks
// until the pointer leaves or a button goes down; a drag released in the corner starts a dwell, not a jump.
TEST_F(Tracker, StatesOfCornerVisits) {
    constexpr int kReset = 0x100;  // not a button: the tracking is reset before the tick
    g_settings.topLeft = CornerAction::TaskView;
    const struct { const char* what; int x, y; DWORD now; int input; const char* state; } steps[] = {
        {"interior", 50, 50, 1000, 0, "Idle"}, {"into the corner", 0, 0, 1016, 0, "Dwelling"},
        {"350 ms", 0, 0, 1366, 0, "Fired"}, {"moved inside, later", 3, 3, 3000, 0, "Fired"},
        {"reset", 3, 3, 3016, kReset, "Blocked"}, {"resting, later", 3, 3, 9000, 0, "Blocked"},
        {"edge band", 40, 0, 9016, 0, "Idle"}, {"back in the corner", 2, 2, 9032, 0, "Dwelling"},
        {"interior", 900, 500, 9048, 0, "Idle"}, {"jump in", 0, 0, 9064, 0, "Blocked"},
        {"right button", 0, 0, 9080, VK_RBUTTON, "Idle"}, {"interior", 900, 500, 9096, 0, "Idle"},
        {"dragged in", 0, 0, 9112, VK_MBUTTON, "Idle"}, {"released", 0, 0, 9128, 0, "Dwelling"},
        {"350 ms later", 0, 0, 9478, 0, "Fired"},
    };
    for (const auto& s : steps) {
        if (s.input & kReset) ResetCornerTracking();
        g_desktop.buttons = s.input & ~kReset;
        TickAt(s.x, s.y, s.now);
        EXPECT_STREQ(State(), s.state) << s.what;
    }
    EXPECT_EQ(g_desktop.inputs, 2 * 4) << "two Task View chords of four inputs";
}

// GetCursorPos fails while another desktop has the input (a UAC prompt, Ctrl+Alt+Del), with no session
// event. A corner that fired must not fire again when reading resumes, and a failed read is not (0, 0).
TEST_F(Tracker, UnreadablePointer) {
    constexpr POINT kCorner = {2, 2}, kBand = {40, 0};  // top-left corner zone; edge band, a short move away
    const struct { const char* name; POINT before, after[2]; int chords; } cases[] = {
        {"fired, then reads resume at the same point", kCorner, {kCorner, kCorner}, 1},
        {"fired, then reads resume after the pointer left and came back", kCorner, {kBand, kCorner}, 2},
        {"in the edge band: the top-left pixel is not where it rests", kBand, {kBand, kBand}, 0},
    };
    for (const auto& c : cases) {
        SetUp();
        g_settings.topLeft = CornerAction::TaskView;
        for (POINT p : {kBand, c.before}) fake::Rest(p, 1000);
        g_desktop.cursorResult = FALSE;
        fake::Rest(c.before, 1000);
        g_desktop.cursorResult = TRUE;
        for (POINT p : c.after) fake::Rest(p, 1000);
        EXPECT_EQ(g_desktop.inputs, 4 * c.chords) << c.name;
    }
}

// A move into a corner of max(240, 8 zones) pixels or more is a jump and never fires; the top-right corner
// waits 150 ms more; the dwell is timed across the wrap of the tick counter.
TEST_F(Tracker, DwellAndJump) {
    const struct { int dwellMs, zonePx; POINT from, corner; DWORD start, firesAfter; /* 0: never */ } cases[] = {
        {300, 12, {50, 50}, {0, 0}, 1000, 300}, {300, 12, {1870, 50}, {1919, 0}, 1000, 450},
        {350, 12, {50, 50}, {0, 0}, 0xFFFFFF00u, 350}, {350, 12, {239, 0}, {0, 0}, 1000, 350},
        {350, 12, {240, 0}, {0, 0}, 1000, 0}, {350, 12, {120, 120}, {0, 0}, 1000, 0},
        {350, 28, {2255, 0}, {1920, 0}, 1000, 350}, {350, 28, {2256, 0}, {1920, 0}, 1000, 0},  // 144 DPI: 42 px
    };
    for (const auto& c : cases) {
        SetUp();
        g_settings.topLeft = CornerAction::TaskView;
        g_settings.cornerDwellMs = c.dwellMs, g_settings.edgeZonePx = c.zonePx;
        TickAt(c.from.x, c.from.y, c.start - 16);
        TickAt(c.corner.x, c.corner.y, c.start);
        const DWORD due = c.start + (c.firesAfter ? c.firesAfter : 5000);
        TickAt(due - 1);
        const int early = g_desktop.inputs;
        TickAt(due);
        EXPECT_EQ(std::pair(early, g_desktop.inputs), std::pair(0, c.firesAfter ? 4 : 0)) << "row " << &c - cases;
    }
}

// A refused chord is tried again on every tick of the dwell; a second corner waits 450 ms after an action.
TEST_F(Tracker, RetryAndSpacing) {
    g_settings.topLeft = CornerAction::TaskView;
    g_desktop.inputAnswers[0] = g_desktop.inputAnswers[1] = g_desktop.inputAnswers[2] = 0;  // three chords refused
    TickAt(50, 50, 1000);
    for (DWORD t = 1016; t <= 1446; t += 16) TickAt(0, 0, t);  // due at 1366
    EXPECT_EQ(g_desktop.inputs, 3 + 4);
    SetUp();
    g_settings.topLeft = CornerAction::TaskView;  // the right monitor's top-left touches the left one's top-right
    for (DWORD t : {1000u, 1016u, 1516u}) TickAt(1919, t == 1000 ? 60 : 0, t);  // fired after 500 ms
    for (DWORD t : {1532u, 1882u, 1965u}) TickAt(1920, 0, t);  // dwell complete at 1882, 366 ms after it
    EXPECT_EQ(g_desktop.inputs, 4);
    TickAt(1966);
    EXPECT_EQ(g_desktop.inputs, 8);
}

}  // namespace
