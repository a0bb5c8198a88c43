// The corner detector tick by tick: dwell, fire, re-arm, jumps, buttons, resets, failures and the
// monitor/DPI cache, on a scripted desktop.
#include <gtest/gtest.h>

#include "FakeDesktop.h"
#include "corners/CornerTracker.h"
#include "support/TestSupport.h"

namespace {

using fake::g_desktop;
using fake::TrackerState;

class CornerTrackerTest : public testing::Test {
protected:
    void SetUp() override {
        fake::InstallFakeDesktop();
        g_tracker = CornerTracker{};
        g_settings = Settings{};  // TopRight: TaskView, zone 12, dwell 350
        g_messages = {0xC001, 0xC002, 0xC003, 0xC004};
    }

    // One timer tick with the pointer at (x, y) and the clock at `now`.
    static void TickAt(int x, int y, DWORD now) {
        g_desktop.cursor = {x, y};
        g_desktop.now = now;
        PollCorners();
    }
    static void TickAt(DWORD now) { TickAt(g_desktop.cursor.x, g_desktop.cursor.y, now); }

    static TrackerState State() { return fake::StateOf(g_tracker); }

    static void WatchAll(CornerAction action) {
        g_settings.topLeft = g_settings.topRight = g_settings.bottomLeft = g_settings.bottomRight = action;
    }

    PlatformGuard platform_;
    GlobalsGuard globals_;
    fake::MessagesGuard messages_;
};

// A point `d` pixels from `corner` towards the middle of the 1920x1080 monitor.
POINT Inward(POINT corner, int d) { return {corner.x < 960 ? corner.x + d : corner.x - d, corner.y < 540 ? corner.y + d : corner.y - d}; }

#define EXPECT_STATE(expected) EXPECT_EQ(fake::Name(State()), fake::Name(expected))

TEST_F(CornerTrackerTest, RestingInTheCornerFiresOnceAtTheDwellTime) {
    struct Case {
        int dwellMs;
        Corner corner;
        POINT from;
        POINT to;
        DWORD required;
    };
    const Case cases[] = {
        {350, Corner::TopRight, {1800, 100}, {1919, 0}, 500},
        {350, Corner::TopLeft, {100, 100}, {0, 0}, 350},
        {350, Corner::BottomLeft, {100, 980}, {0, 1079}, 350},
        {350, Corner::BottomRight, {1800, 980}, {1919, 1079}, 350},
        {300, Corner::TopRight, {1800, 100}, {1919, 0}, 450},
        {300, Corner::BottomLeft, {100, 980}, {0, 1079}, 300},
        {1000, Corner::TopRight, {1800, 100}, {1919, 0}, 1150},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "dwell " << c.dwellMs << " corner " << static_cast<int>(c.corner));
        SetUp();
        WatchAll(CornerAction::TaskView);
        g_settings.cornerDwellMs = c.dwellMs;
        const DWORD t0 = 50000;
        TickAt(c.from.x, c.from.y, t0 - 16);
        EXPECT_STATE(TrackerState::Idle);
        TickAt(c.to.x, c.to.y, t0);
        EXPECT_STATE(TrackerState::Dwelling);
        EXPECT_EQ(g_tracker.dwellCorner, c.corner);
        EXPECT_EQ(g_tracker.dwellStartTick, t0);
        for (DWORD t = t0 + 16; t < t0 + c.required; t += 16) TickAt(t);
        TickAt(t0 + c.required - 1);
        EXPECT_EQ(fake::ChordsStarted(), 0);
        EXPECT_STATE(TrackerState::Dwelling);
        TickAt(t0 + c.required);
        EXPECT_EQ(fake::ChordsStarted(), 1);
        EXPECT_STATE(TrackerState::Fired);
        EXPECT_EQ(g_tracker.lastActionTick, t0 + c.required);
        // Staying, or moving about inside the same zone, fires nothing more.
        for (DWORD t = t0 + c.required + 16; t < t0 + 5000; t += 16) TickAt(t);
        TickAt(Inward(c.to, 3).x, Inward(c.to, 3).y, t0 + 5016);
        TickAt(t0 + 9000);
        EXPECT_EQ(fake::ChordsStarted(), 1);
        EXPECT_STATE(TrackerState::Fired);
    }
}

TEST_F(CornerTrackerTest, LeavingAndComingBackFiresAgain) {
    g_settings.topLeft = CornerAction::Notchling;
    fake::AddWindow(L"Notchling.Main", reinterpret_cast<HWND>(0x10));
    TickAt(100, 100, 1000);
    TickAt(0, 0, 1016);
    TickAt(1366);
    ASSERT_EQ(g_desktop.postCount, 1);
    EXPECT_STATE(TrackerState::Fired);
    TickAt(40, 0, 1400);  // edge band along the top
    EXPECT_STATE(TrackerState::Idle);
    TickAt(2, 2, 1500);
    EXPECT_STATE(TrackerState::Dwelling);
    TickAt(1849);
    EXPECT_EQ(g_desktop.postCount, 1);
    TickAt(1850);
    EXPECT_EQ(g_desktop.postCount, 2);
    TickAt(200, 200, 1900);  // interior
    EXPECT_STATE(TrackerState::Idle);
}

TEST_F(CornerTrackerTest, JumpIntoTheCornerBlocksUntilThePointerLeaves) {
    struct Case {
        int edgeZonePx;
        UINT dpi;
        POINT from;
        bool jump;
    };
    const Case cases[] = {
        {12, 96, {239, 0}, false},  {12, 96, {240, 0}, true},   {12, 96, {120, 120}, true},
        {12, 96, {119, 120}, false}, {28, 192, {447, 0}, false}, {28, 192, {448, 0}, true},
        {28, 192, {300, 147}, false}, {28, 192, {300, 148}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "zone " << c.edgeZonePx << " at " << c.dpi << " DPI from (" << c.from.x
                                        << ", " << c.from.y << ")");
        SetUp();
        g_settings.topLeft = CornerAction::TaskView;
        g_settings.edgeZonePx = c.edgeZonePx;
        g_desktop.monitors[0].dpi = c.dpi;
        TickAt(c.from.x, c.from.y, 1000);
        TickAt(0, 0, 1016);
        EXPECT_STATE(c.jump ? TrackerState::Blocked : TrackerState::Dwelling);
        for (DWORD t = 1032; t < 3000; t += 16) TickAt(t);
        EXPECT_EQ(fake::ChordsStarted(), c.jump ? 0 : 1);
        if (!c.jump) continue;
        // Moving inside the zone keeps the block; leaving it releases the block; coming back slowly fires.
        TickAt(3, 3, 3000);
        EXPECT_STATE(TrackerState::Blocked);
        TickAt(ScaleZoneToDpi(c.edgeZonePx, c.dpi) + 1, 0, 3016);
        EXPECT_STATE(TrackerState::Idle);
        TickAt(1, 1, 3032);
        EXPECT_STATE(TrackerState::Dwelling);
        TickAt(3382);
        EXPECT_EQ(fake::ChordsStarted(), 1);
    }
}

TEST_F(CornerTrackerTest, FirstTickAndTheTickAfterAButtonHaveNoJumpTest) {
    g_settings.topLeft = CornerAction::TaskView;
    TickAt(0, 0, 1000);  // first tick ever: no previous position
    EXPECT_STATE(TrackerState::Dwelling);

    SetUp();
    g_settings.topLeft = CornerAction::TaskView;
    TickAt(900, 500, 1000);
    g_desktop.leftDown = true;
    TickAt(0, 0, 1016);  // dragged across the screen into the corner
    EXPECT_STATE(TrackerState::Idle);
    EXPECT_FALSE(g_tracker.lastPointValid);
    g_desktop.leftDown = false;
    TickAt(1032);  // released there: the dwell starts now
    EXPECT_STATE(TrackerState::Dwelling);
    EXPECT_EQ(g_tracker.dwellStartTick, 1032u);
    TickAt(1382);
    EXPECT_EQ(fake::ChordsStarted(), 1);
}

TEST_F(CornerTrackerTest, HeldButtonCancelsPreventsAndReleases) {
    struct Case {
        bool left, right, middle;
        int keyQueries;  // stops at the first button found down
    };
    const Case cases[] = {
        {true, false, false, 1}, {false, true, false, 2}, {false, false, true, 3},
        {true, true, true, 1},   {false, true, true, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "L " << c.left << " R " << c.right << " M " << c.middle);
        SetUp();
        g_settings.topLeft = CornerAction::TaskView;
        TickAt(50, 50, 1000);
        TickAt(0, 0, 1016);
        EXPECT_STATE(TrackerState::Dwelling);
        g_desktop.leftDown = c.left;
        g_desktop.rightDown = c.right;
        g_desktop.middleDown = c.middle;
        g_desktop.ResetCounters();
        TickAt(1032);
        EXPECT_STATE(TrackerState::Idle);
        EXPECT_EQ(g_desktop.keyQueries, c.keyQueries);
        EXPECT_EQ(g_desktop.keyLog[0], VK_LBUTTON);
        if (c.keyQueries > 1) {
            EXPECT_EQ(g_desktop.keyLog[1], VK_RBUTTON);
        }
        if (c.keyQueries > 2) {
            EXPECT_EQ(g_desktop.keyLog[2], VK_MBUTTON);
        }
        EXPECT_EQ(g_desktop.monitorQueries, 0);
        for (DWORD t = 1048; t < 4000; t += 16) TickAt(t);
        EXPECT_EQ(fake::ChordsStarted(), 0);
        EXPECT_STATE(TrackerState::Idle);
        g_desktop.leftDown = g_desktop.rightDown = g_desktop.middleDown = false;
        TickAt(4000);
        EXPECT_STATE(TrackerState::Dwelling);
        TickAt(4350);
        EXPECT_EQ(fake::ChordsStarted(), 1);
    }
}

TEST_F(CornerTrackerTest, ButtonPressReleasesABlock) {
    g_settings.topLeft = CornerAction::TaskView;
    TickAt(900, 500, 1000);
    TickAt(0, 0, 1016);
    EXPECT_STATE(TrackerState::Blocked);
    g_desktop.rightDown = true;
    TickAt(1032);
    EXPECT_STATE(TrackerState::Idle);
    g_desktop.rightDown = false;
    TickAt(1048);
    EXPECT_STATE(TrackerState::Dwelling);
}

TEST_F(CornerTrackerTest, ResetWhileRestingBlocksUntilThePointerLeaves) {
    struct Case {
        const char* name;
        DWORD resetAt;  // ms after the dwell began
        TrackerState before;
    };
    const Case cases[] = {{"while dwelling", 100, TrackerState::Dwelling}, {"after firing", 600, TrackerState::Fired}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        TickAt(1800, 100, 1000);
        TickAt(1919, 0, 1016);
        TickAt(1016 + c.resetAt);
        EXPECT_STATE(c.before);
        const int chords = fake::ChordsStarted();
        ResetCornerTracking();
        EXPECT_STATE(TrackerState::Blocked);
        EXPECT_TRUE(g_tracker.forceFullCheck);
        EXPECT_EQ(g_tracker.cachedMonitor, nullptr);
        EXPECT_EQ(g_tracker.scaledZonePx, 0);
        EXPECT_TRUE(g_tracker.lastPointValid);  // left alone
        for (DWORD t = 2000; t < 6000; t += 16) TickAt(t);
        EXPECT_STATE(TrackerState::Blocked);
        EXPECT_EQ(fake::ChordsStarted(), chords);
        TickAt(1919, 200, 6000);  // edge band along the right
        EXPECT_STATE(TrackerState::Idle);
        TickAt(1919, 0, 6016);
        TickAt(6516);
        EXPECT_EQ(fake::ChordsStarted(), chords + 1);
    }
}

TEST_F(CornerTrackerTest, ResetWithThePointerOutsideReleasesOnTheNextTick) {
    TickAt(900, 500, 1000);
    ResetCornerTracking();
    TickAt(1016);  // unmoved, but the reset forces the full test
    EXPECT_STATE(TrackerState::Idle);
}

TEST_F(CornerTrackerTest, ResetLeavesSharedFieldsAlone) {
    g_tracker.lastPoint = {5, 6};
    g_tracker.lastPointValid = true;
    g_tracker.lastActionTick = 777;
    g_tracker.launchInProgress = true;
    ResetCornerTracking();
    EXPECT_EQ(g_tracker.lastPoint.x, 5);
    EXPECT_EQ(g_tracker.lastPoint.y, 6);
    EXPECT_TRUE(g_tracker.lastPointValid);
    EXPECT_EQ(g_tracker.lastActionTick, 777u);
    EXPECT_TRUE(g_tracker.launchInProgress);
}

TEST_F(CornerTrackerTest, AllCornersDisabledPollsNothingAndEndsADwell) {
    TickAt(1800, 100, 1000);
    TickAt(1919, 0, 1016);
    EXPECT_STATE(TrackerState::Dwelling);
    g_settings.topRight = CornerAction::Disabled;
    g_desktop.ResetCounters();
    for (DWORD t = 1032; t < 3000; t += 16) TickAt(t);
    EXPECT_STATE(TrackerState::Idle);
    EXPECT_EQ(g_desktop.cursorQueries, 0);
    EXPECT_EQ(g_desktop.keyQueries, 0);
    EXPECT_EQ(g_desktop.monitorQueries, 0);
    EXPECT_EQ(g_desktop.tickQueries, 0);
    EXPECT_EQ(fake::ChordsStarted(), 0);
}

TEST_F(CornerTrackerTest, RestingInAnUnwatchedCornerDoesNothingAndReleasesABlock) {
    g_settings.topRight = CornerAction::Disabled;
    g_settings.bottomLeft = CornerAction::TaskView;
    TickAt(100, 100, 1000);
    TickAt(0, 0, 1016);  // top-left is not watched
    for (DWORD t = 1032; t < 3000; t += 16) TickAt(t);
    EXPECT_STATE(TrackerState::Idle);
    EXPECT_EQ(fake::ChordsStarted(), 0);

    TickAt(500, 1000, 3000);
    TickAt(0, 1079, 3016);  // a jump into the watched bottom-left
    EXPECT_STATE(TrackerState::Blocked);
    TickAt(0, 1079 - 200, 3032);  // edge band on the left
    EXPECT_STATE(TrackerState::Idle);
    TickAt(0, 1079, 3048);  // 200 px is no jump
    EXPECT_STATE(TrackerState::Dwelling);
    ResetCornerTracking();
    EXPECT_STATE(TrackerState::Blocked);
    TickAt(0, 0, 3064);  // into the unwatched top-left corner: counts as outside
    EXPECT_STATE(TrackerState::Idle);
}

TEST_F(CornerTrackerTest, DwellAcrossTheTickCounterWrap) {
    const DWORD start = 0xFFFFFF00u;  // 256 ms before the wrap
    g_settings.topLeft = CornerAction::TaskView;
    TickAt(50, 50, start - 16);
    TickAt(0, 0, start);
    for (DWORD t = start + 16; t != start + 336; t += 16) TickAt(t);
    TickAt(start + 349);  // 0x5D after the wrap
    EXPECT_EQ(fake::ChordsStarted(), 0);
    EXPECT_STATE(TrackerState::Dwelling);
    TickAt(start + 350);
    EXPECT_EQ(fake::ChordsStarted(), 1);
    EXPECT_EQ(g_tracker.lastActionTick, 0x5Eu);
}

TEST_F(CornerTrackerTest, FailedDispatchIsRetriedOnEveryTick) {
    g_settings.topLeft = CornerAction::Notchling;
    fake::AddWindow(L"Notchling.Main", reinterpret_cast<HWND>(0x10));
    g_desktop.postResult = FALSE;
    TickAt(50, 50, 1000);
    TickAt(0, 0, 1016);
    TickAt(1366);
    EXPECT_EQ(g_desktop.postCount, 1);
    EXPECT_STATE(TrackerState::Dwelling);
    TickAt(1382);
    TickAt(1398);
    EXPECT_EQ(g_desktop.postCount, 3);
    EXPECT_EQ(g_tracker.lastActionTick, 0u);
    g_desktop.postResult = TRUE;  // the companion came up meanwhile
    TickAt(1414);
    EXPECT_EQ(g_desktop.postCount, 4);
    EXPECT_STATE(TrackerState::Fired);
    TickAt(1430);
    EXPECT_EQ(g_desktop.postCount, 4);
}

TEST_F(CornerTrackerTest, RefusedChordIsRetriedOnTheNextTick) {
    g_settings.topLeft = CornerAction::TaskView;
    g_desktop.sendInputAnswers[0] = 0;  // the first Windows key press is refused
    TickAt(50, 50, 1000);
    TickAt(0, 0, 1016);
    TickAt(1366);
    EXPECT_EQ(g_desktop.sendInputCalls, 1);
    EXPECT_STATE(TrackerState::Dwelling);
    TickAt(1382);
    EXPECT_EQ(g_desktop.sendInputCalls, 5);
    EXPECT_STATE(TrackerState::Fired);
}

TEST_F(CornerTrackerTest, TwoCornersWithin450MsAreSpacedAndCrossingRestartsTheDwell) {
    // Two monitors side by side, the right one at 144 DPI.
    g_desktop.monitors[1] = {{1920, 0, 3840, 1080}, 144};
    g_desktop.monitorCount = 2;
    g_settings.topRight = CornerAction::Notchling;  // of the left monitor
    g_settings.topLeft = CornerAction::Loftmoor;    // of the right monitor
    fake::AddWindow(L"Notchling.Main", reinterpret_cast<HWND>(0x10));
    fake::AddWindow(L"Loftmoor.Main", reinterpret_cast<HWND>(0x20));

    TickAt(1850, 60, 1000);
    TickAt(1919, 0, 1016);
    EXPECT_EQ(g_tracker.dwellCorner, Corner::TopRight);
    TickAt(1516);
    ASSERT_EQ(g_desktop.postCount, 1);
    EXPECT_EQ(g_desktop.posts[0].window, reinterpret_cast<HWND>(0x10));

    TickAt(1920, 0, 1532);  // one pixel right: the right monitor's top-left corner
    EXPECT_STATE(TrackerState::Dwelling);
    EXPECT_EQ(g_tracker.dwellCorner, Corner::TopLeft);
    EXPECT_EQ(g_tracker.dwellStartTick, 1532u);
    EXPECT_EQ(g_tracker.scaledZonePx, 18);
    TickAt(1882);  // dwell complete, but only 366 ms since the first action
    TickAt(1965);
    EXPECT_EQ(g_desktop.postCount, 1);
    EXPECT_STATE(TrackerState::Dwelling);
    TickAt(1966);  // 450 ms after the first action
    ASSERT_EQ(g_desktop.postCount, 2);
    EXPECT_EQ(g_desktop.posts[1].window, reinterpret_cast<HWND>(0x20));
    EXPECT_STATE(TrackerState::Fired);
}

TEST_F(CornerTrackerTest, FailedCursorReadIsNotAPointerAtTheOrigin) {
    g_settings.topLeft = CornerAction::TaskView;
    TickAt(150, 0, 1000);  // edge band, 150 px from the top-left corner
    g_desktop.cursorResult = FALSE;
    for (DWORD t = 1016; t < 3000; t += 16) TickAt(t);
    EXPECT_STATE(TrackerState::Idle);
    EXPECT_EQ(fake::ChordsStarted(), 0);
    g_desktop.cursorResult = TRUE;
    TickAt(3000);
    EXPECT_STATE(TrackerState::Idle);
}

TEST_F(CornerTrackerTest, FailedCursorReadEndsADwellThatResumesWhenReadsWork) {
    g_settings.topLeft = CornerAction::TaskView;
    TickAt(50, 50, 1000);
    TickAt(0, 0, 1016);
    g_desktop.cursorResult = FALSE;
    TickAt(1200);
    EXPECT_STATE(TrackerState::Idle);
    g_desktop.cursorResult = TRUE;
    TickAt(5000);  // same place: the dwell starts afresh
    EXPECT_STATE(TrackerState::Dwelling);
    EXPECT_EQ(g_tracker.dwellStartTick, 5000u);
    EXPECT_EQ(fake::ChordsStarted(), 0);
    TickAt(5350);
    EXPECT_EQ(fake::ChordsStarted(), 1);
}

TEST_F(CornerTrackerTest, FailedDpiQueryUsesTheUnscaledZone) {
    struct Case {
        HRESULT dpiResult;
        UINT dpi;
        int zone;
    };
    const Case cases[] = {{S_OK, 192, 24}, {E_FAIL, 192, 12}, {S_OK, 0, 12}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "dpi " << c.dpi << " result " << c.dpiResult);
        SetUp();
        g_settings.topLeft = CornerAction::TaskView;
        g_desktop.dpiResult = c.dpiResult;
        g_desktop.monitors[0].dpi = c.dpi;
        TickAt(100, 100, 1000);
        EXPECT_EQ(g_tracker.scaledZonePx, c.zone);
        TickAt(20, 0, 1016);
        EXPECT_STATE(c.zone >= 20 ? TrackerState::Dwelling : TrackerState::Idle);
    }
}

TEST_F(CornerTrackerTest, UnmovedTickQueriesOnlyCursorAndButtons) {
    struct Case {
        const char* name;
        POINT rest;
    };
    const Case cases[] = {{"interior", {900, 500}}, {"edge band", {900, 0}}, {"dwelling", {0, 0}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        g_settings.topLeft = CornerAction::TaskView;
        g_settings.cornerDwellMs = 1000;
        TickAt(c.rest.x + 1, c.rest.y + 1, 1000);
        TickAt(c.rest.x, c.rest.y, 1016);
        for (DWORD t = 1032; t < 1500; t += 16) {
            g_desktop.ResetCounters();
            TickAt(t);
            EXPECT_EQ(g_desktop.cursorQueries, 1);
            EXPECT_LE(g_desktop.keyQueries, 3);
            EXPECT_EQ(g_desktop.monitorQueries, 0);
            EXPECT_EQ(g_desktop.monitorInfoQueries, 0);
            EXPECT_EQ(g_desktop.dpiQueries, 0);
            EXPECT_EQ(g_desktop.sendInputCalls, 0);
        }
    }
}

TEST_F(CornerTrackerTest, DpiIsAskedOnlyWhenMonitorOrZoneChangesOrAfterAReset) {
    g_desktop.monitors[1] = {{1920, 0, 3840, 1080}, 144};
    g_desktop.monitorCount = 2;
    struct Step {
        const char* name;
        POINT to;  // pointer after the step
        void (*before)();
        int monitorQueries;
        int dpiQueries;
        int zone;
    };
    const Step steps[] = {
        {"first tick", {900, 500}, nullptr, 1, 1, 12},
        {"moved on the same monitor", {950, 520}, nullptr, 1, 0, 12},
        {"moved again", {1000, 540}, nullptr, 1, 0, 12},
        {"unmoved", {1000, 540}, nullptr, 0, 0, 12},
        {"onto the second monitor", {2500, 540}, nullptr, 1, 1, 18},
        {"moved on the second monitor", {2600, 540}, nullptr, 1, 0, 18},
        {"zone setting changed", {2650, 540}, [] { g_settings.edgeZonePx = 20; }, 1, 1, 30},
        {"moved again", {2700, 540}, nullptr, 1, 0, 30},
        {"reset, pointer unmoved", {2700, 540}, [] { ResetCornerTracking(); }, 1, 1, 30},
        {"unmoved after the reset", {2700, 540}, nullptr, 0, 0, 30},
        {"back to the first monitor", {900, 540}, nullptr, 1, 1, 20},
    };
    DWORD now = 1000;
    for (const Step& s : steps) {
        SCOPED_TRACE(s.name);
        if (s.before) s.before();
        g_desktop.ResetCounters();
        TickAt(s.to.x, s.to.y, now += 16);
        EXPECT_EQ(g_desktop.cursorQueries, 1);
        EXPECT_EQ(g_desktop.monitorQueries, s.monitorQueries);
        EXPECT_EQ(g_desktop.monitorInfoQueries, s.monitorQueries);
        EXPECT_EQ(g_desktop.dpiQueries, s.dpiQueries);
        EXPECT_EQ(g_tracker.scaledZonePx, s.zone);
    }
}

TEST_F(CornerTrackerTest, FailedMonitorQueryLeavesNoInteriorAndNoFalseCorner) {
    g_settings.topLeft = CornerAction::TaskView;
    g_desktop.monitorInfoResult = FALSE;
    TickAt(900, 500, 1000);
    EXPECT_STATE(TrackerState::Idle);
    TickAt(910, 505, 1016);
    for (DWORD t = 1032; t < 2000; t += 16) TickAt(t);
    EXPECT_EQ(fake::ChordsStarted(), 0);
}

// The dispatcher may run a nested message loop (a capture start) in which the poll runs again; a dwell
// that began in there must not be marked fired by the action of the one before it.
TEST_F(CornerTrackerTest, DwellStartedDuringADispatchIsNotMarkedFiredByIt) {
    g_desktop.monitors[1] = {{1920, 0, 3840, 1080}, 96};
    g_desktop.monitorCount = 2;
    g_settings.topRight = CornerAction::Notchling;
    g_settings.topLeft = CornerAction::Notchling;
    fake::AddWindow(L"Notchling.Main", reinterpret_cast<HWND>(0x10));
    TickAt(1850, 60, 1000);
    TickAt(1919, 0, 1016);
    g_desktop.onPost = [] {
        g_desktop.onPost = nullptr;
        TickAt(1920, 0, g_desktop.now);  // crosses into the right monitor's top-left corner meanwhile
    };
    TickAt(1516);
    ASSERT_EQ(g_desktop.postCount, 1);
    EXPECT_STATE(TrackerState::Dwelling);
    EXPECT_EQ(g_tracker.dwellCorner, Corner::TopLeft);
    TickAt(1516 + 450);
    EXPECT_EQ(g_desktop.postCount, 2);
    EXPECT_STATE(TrackerState::Fired);
}

}  // namespace
