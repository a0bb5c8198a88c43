// The corner detector tick by tick on a scripted desktop: dwell, fire, re-arm, jumps, buttons, resets.
#include <gtest/gtest.h>

#include "FakeDesktop.h"
#include "support/TestSupport.h"

namespace {

using fake::g_desktop;
using fake::TickAt;

class Tracker : public testing::Test {
protected:
    void SetUp() override { fake::Install(); }
    static void Companions() {
        g_desktop.windows[0] = {L"Notchling.Main", reinterpret_cast<HWND>(0x10)};
        g_desktop.windows[1] = {L"Loftmoor.Main", reinterpret_cast<HWND>(0x20)};
    }
    PlatformGuard platform_;
    GlobalsGuard globals_;
};

TEST_F(Tracker, EveryStateChange) {
    g_settings.topLeft = CornerAction::TaskView;
    struct Step { const char* what; int x, y; DWORD now; int buttons; bool resetFirst; const char* state; int chords; };
    const Step steps[] = {
        {"interior", 50, 50, 1000, 0, false, "Idle", 0},
        {"into the corner", 0, 0, 1016, 0, false, "Dwelling", 0},
        {"349 ms", 0, 0, 1365, 0, false, "Dwelling", 0},
        {"350 ms", 0, 0, 1366, 0, false, "Fired", 1},
        {"moving inside, long after", 3, 3, 3000, 0, false, "Fired", 1},
        {"edge band", 40, 0, 3016, 0, false, "Idle", 1},
        {"back in the corner", 2, 2, 3032, 0, false, "Dwelling", 1},
        {"left button pressed", 2, 2, 3048, VK_LBUTTON, false, "Idle", 1},
        {"held", 2, 2, 5000, VK_LBUTTON, false, "Idle", 1},
        {"released: a new dwell", 2, 2, 5016, 0, false, "Dwelling", 1},
        {"reset while resting", 2, 2, 5032, 0, true, "Blocked", 1},
        {"resting, long after", 2, 2, 9000, 0, false, "Blocked", 1},
        {"edge band ends the block", 40, 0, 9016, 0, false, "Idle", 1},
        {"interior", 900, 500, 9032, 0, false, "Idle", 1},
        {"jump into the corner", 0, 0, 9048, 0, false, "Blocked", 1},
        {"right button ends the block", 0, 0, 9064, VK_RBUTTON, false, "Idle", 1},
        {"interior", 900, 500, 9080, 0, false, "Idle", 1},
        {"dragged into the corner", 0, 0, 9096, VK_MBUTTON, false, "Idle", 1},
        {"released there: no jump", 0, 0, 9112, 0, false, "Dwelling", 1},
        {"350 ms later", 0, 0, 9462, 0, false, "Fired", 2},
    };
    for (const Step& s : steps) {
        if (s.resetFirst) ResetCornerTracking();
        g_desktop.buttons = s.buttons;
        TickAt(s.x, s.y, s.now);
        EXPECT_STREQ(fake::State(), s.state) << s.what;
        EXPECT_EQ(fake::Chords(), s.chords) << s.what;
    }
}

// A failed position read is not (0, 0): that would rest the pointer in the top-left corner and fire it.
TEST_F(Tracker, UnreadablePointerNeverRestsInTheTopLeftCorner) {
    g_settings.topLeft = CornerAction::TaskView;
    TickAt(40, 0, 1000);  // edge band, a short move from the corner
    g_desktop.cursorResult = FALSE;
    for (DWORD now = 1016; now < 3000; now += 16) TickAt(now);
    EXPECT_STREQ(fake::State(), "Idle");
    EXPECT_EQ(g_desktop.inputs, 0);
    g_desktop.cursorResult = TRUE;  // the next read runs the full test again
    TickAt(2, 2, 3016);
    EXPECT_STREQ(fake::State(), "Dwelling");
}

TEST_F(Tracker, JumpThresholdIsTheLargerOf240And8Zones) {
    struct Case { int edgeZonePx; UINT dpi; POINT from; const char* state; };
    const Case cases[] = {
        {12, 96, {239, 0}, "Dwelling"},  {12, 96, {240, 0}, "Blocked"},   {12, 96, {120, 120}, "Blocked"},
        {28, 192, {447, 0}, "Dwelling"}, {28, 192, {448, 0}, "Blocked"},  // zone 56
    };
    for (const Case& c : cases) {
        SetUp();
        g_settings.topLeft = CornerAction::TaskView;
        g_settings.edgeZonePx = c.edgeZonePx;
        g_desktop.monitors[0].dpi = c.dpi;
        TickAt(c.from.x, c.from.y, 1000);
        TickAt(0, 0, 1016);
        EXPECT_STREQ(fake::State(), c.state) << c.dpi << " DPI from " << c.from.x << ", " << c.from.y;
    }
}

TEST_F(Tracker, DwellTimes) {
    struct Case { int dwellMs; POINT corner; DWORD required; DWORD start; };
    const Case cases[] = {
        {350, {0, 1079}, 350, 1000}, {350, {1919, 0}, 500, 1000}, {300, {0, 0}, 300, 1000}, {300, {1919, 0}, 450, 1000},
        {350, {0, 0}, 350, 0xFFFFFF00u},  // 256 ms before the tick counter wraps
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.dwellMs << " ms at (" << c.corner.x << ", " << c.corner.y << ")");
        SetUp();
        g_settings.topLeft = g_settings.bottomLeft = CornerAction::TaskView;
        g_settings.cornerDwellMs = c.dwellMs;
        TickAt(c.corner.x == 0 ? 50 : 1870, c.corner.y == 0 ? 50 : 1030, c.start - 16);
        TickAt(c.corner.x, c.corner.y, c.start);
        TickAt(c.start + c.required - 1);
        EXPECT_EQ(fake::Chords(), 0);
        TickAt(c.start + c.required);
        EXPECT_EQ(fake::Chords(), 1);
    }
}

TEST_F(Tracker, FailedDispatchIsRetriedOnEveryTick) {
    Companions();
    g_settings.topLeft = CornerAction::Notchling;
    g_desktop.postResult = FALSE;
    TickAt(50, 50, 1000);
    TickAt(0, 0, 1016);
    for (DWORD t = 1366; t <= 1398; t += 16) TickAt(t);
    EXPECT_EQ(g_desktop.posts, 3);
    EXPECT_STREQ(fake::State(), "Dwelling");
    g_desktop.postResult = TRUE;  // the companion came up meanwhile
    TickAt(1414);
    TickAt(1430);
    EXPECT_EQ(g_desktop.posts, 4);
    EXPECT_STREQ(fake::State(), "Fired");
}

TEST_F(Tracker, SecondCornerWaits450MsAfterTheFirstAction) {
    Companions();
    g_settings.topRight = CornerAction::Notchling;  // of the left monitor
    g_settings.topLeft = CornerAction::Loftmoor;    // of the right monitor, at 144 DPI
    TickAt(1850, 60, 1000);
    TickAt(1919, 0, 1016);
    TickAt(1516);
    ASSERT_EQ(g_desktop.posts, 1);
    TickAt(1920, 0, 1532);  // one pixel right: a new dwell in the other monitor's top-left corner
    TickAt(1882);           // dwell complete, 366 ms after the first action
    TickAt(1965);
    EXPECT_EQ(g_desktop.posts, 1);
    TickAt(1966);
    ASSERT_EQ(g_desktop.posts, 2);
    EXPECT_EQ(g_desktop.posted[1].window, reinterpret_cast<HWND>(0x20));
}

// An unmoved tick asks the pointer and at most the three buttons; with every corner disabled, nothing.
TEST_F(Tracker, CallsOnAnUnmovedTick) {
    struct Case { POINT rest; bool disableAll; const char* state; };
    const Case cases[] = {
        {{900, 500}, false, "Idle"}, {{900, 0}, false, "Idle"}, {{0, 0}, false, "Dwelling"}, {{0, 0}, true, "Idle"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rest.x << ", " << c.rest.y << (c.disableAll ? ", all disabled" : ""));
        SetUp();
        g_settings.topLeft = CornerAction::TaskView;
        TickAt(c.rest.x + 1, c.rest.y + 1, 1000);
        TickAt(c.rest.x, c.rest.y, 1016);
        if (c.disableAll) g_settings.topLeft = g_settings.topRight = CornerAction::Disabled;
        g_desktop.cursorQueries = g_desktop.keyQueries = g_desktop.monitorQueries = g_desktop.dpiQueries = 0;
        TickAt(1032);
        EXPECT_EQ(g_desktop.cursorQueries, c.disableAll ? 0 : 1);
        EXPECT_LE(g_desktop.keyQueries, 3);
        EXPECT_EQ(g_desktop.monitorQueries + g_desktop.dpiQueries, 0);
        EXPECT_STREQ(fake::State(), c.state);
    }
}

}  // namespace
