// What a fired corner sends: the Task View chord, the companions' toggle messages, and the spacing
// between two actions.
#include <gtest/gtest.h>

#include "FakeDesktop.h"
#include "corners/Dispatch.h"
#include "support/TestSupport.h"

namespace {

using fake::g_desktop;

constexpr UINT kLoftmoorToggle = 0xC101;
constexpr UINT kTessawellToggle = 0xC102;
constexpr UINT kNotchlingToggle = 0xC103;
const HWND kLoftmoorWindow = reinterpret_cast<HWND>(0x111);
const HWND kTessawellWindow = reinterpret_cast<HWND>(0x222);
const HWND kNotchlingWindow = reinterpret_cast<HWND>(0x333);

class DispatchTest : public testing::Test {
protected:
    void SetUp() override {
        fake::InstallFakeDesktop();
        g_tracker = CornerTracker{};
        g_settings = Settings{};
        g_messages = {0xC100, kLoftmoorToggle, kTessawellToggle, kNotchlingToggle};
        g_desktop.now = 500000;
    }

    static bool Fire(CornerAction action, POINT point = {0, 0}) {
        g_settings.topLeft = action;
        return DispatchCornerAction(Corner::TopLeft, point);
    }

    PlatformGuard platform_;
    GlobalsGuard globals_;
    fake::MessagesGuard messages_;
};

struct Key {
    WORD vk;
    DWORD flags;
};

void ExpectKeys(std::initializer_list<Key> keys) {
    ASSERT_EQ(g_desktop.sendInputCalls, static_cast<int>(keys.size()));
    int i = 0;
    for (const Key& key : keys) {
        SCOPED_TRACE(testing::Message() << "SendInput call " << i + 1);
        const fake::SentInput& sent = g_desktop.sent[i++];
        EXPECT_EQ(sent.count, 1u);
        EXPECT_EQ(sent.size, static_cast<int>(sizeof(INPUT)));
        EXPECT_EQ(sent.input.type, static_cast<DWORD>(INPUT_KEYBOARD));
        EXPECT_EQ(sent.input.ki.wVk, key.vk);
        EXPECT_EQ(sent.input.ki.wScan, 0);
        EXPECT_EQ(sent.input.ki.dwFlags, key.flags);
        EXPECT_EQ(sent.input.ki.time, 0u);
        EXPECT_EQ(sent.input.ki.dwExtraInfo, 0u);
    }
}

constexpr Key kWinDown = {VK_LWIN, 0};
constexpr Key kTabDown = {VK_TAB, 0};
constexpr Key kTabUp = {VK_TAB, KEYEVENTF_KEYUP};
constexpr Key kWinUp = {VK_LWIN, KEYEVENTF_KEYUP};

TEST_F(DispatchTest, TaskViewChordAndItsRefusals) {
    struct Case {
        const char* name;
        UINT answers[4];
        bool result;
        std::initializer_list<Key> keys;
    };
    const Case cases[] = {
        {"all accepted", {1, 1, 1, 1}, true, {kWinDown, kTabDown, kTabUp, kWinUp}},
        {"Windows key refused", {0, 1, 1, 1}, false, {kWinDown}},
        {"Tab press refused", {1, 0, 1, 1}, false, {kWinDown, kTabDown, kWinUp}},
        {"releases refused", {1, 1, 0, 0}, true, {kWinDown, kTabDown, kTabUp, kWinUp}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        for (int i = 0; i < 4; ++i) g_desktop.sendInputAnswers[i] = c.answers[i];
        EXPECT_EQ(Fire(CornerAction::TaskView), c.result);
        ExpectKeys(c.keys);
        EXPECT_EQ(g_tracker.lastActionTick, c.result ? 500000u : 0u);
        EXPECT_EQ(g_desktop.postCount, 0);
    }
}

TEST_F(DispatchTest, LoftmoorPrefersItsOwnClassAndFallsBackToTheFormerName) {
    struct Case {
        const char* name;
        UINT loftmoorId;
        UINT tessawellId;
        bool loftmoorRunning;
        bool tessawellRunning;
        bool result;
        HWND postedTo;
        UINT message;
        int findCalls;
    };
    const Case cases[] = {
        {"Loftmoor running", kLoftmoorToggle, kTessawellToggle, true, false, true, kLoftmoorWindow, kLoftmoorToggle, 1},
        {"only Tessawell running", kLoftmoorToggle, kTessawellToggle, false, true, true, kTessawellWindow,
         kTessawellToggle, 2},
        {"both running", kLoftmoorToggle, kTessawellToggle, true, true, true, kLoftmoorWindow, kLoftmoorToggle, 1},
        {"neither running", kLoftmoorToggle, kTessawellToggle, false, false, false, nullptr, 0, 2},
        {"both registrations failed", 0, 0, true, true, false, nullptr, 0, 0},
        {"Loftmoor registration failed, Loftmoor running", 0, kTessawellToggle, true, true, false, nullptr, 0, 1},
        {"Loftmoor registration failed, Tessawell running", 0, kTessawellToggle, false, true, true,
         kTessawellWindow, kTessawellToggle, 2},
        {"Tessawell registration failed, Tessawell running", kLoftmoorToggle, 0, false, true, false, nullptr, 0, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        g_messages.loftmoorToggle = c.loftmoorId;
        g_messages.tessawellToggle = c.tessawellId;
        if (c.loftmoorRunning) fake::AddWindow(L"Loftmoor.Main", kLoftmoorWindow);
        if (c.tessawellRunning) fake::AddWindow(L"Tessawell.Main", kTessawellWindow);
        EXPECT_EQ(Fire(CornerAction::Loftmoor, {700, 30}), c.result);
        ASSERT_EQ(g_desktop.findWindowCalls, c.findCalls);
        if (c.findCalls > 0) {
            EXPECT_STREQ(g_desktop.findLog[0], L"Loftmoor.Main");
        }
        if (c.findCalls > 1) {
            EXPECT_STREQ(g_desktop.findLog[1], L"Tessawell.Main");
        }
        ASSERT_EQ(g_desktop.postCount, c.postedTo ? 1 : 0);
        if (c.postedTo) {
            EXPECT_EQ(g_desktop.posts[0].window, c.postedTo);
            EXPECT_EQ(g_desktop.posts[0].message, c.message);
            EXPECT_EQ(g_desktop.posts[0].wParam, 0u);
            EXPECT_EQ(g_desktop.posts[0].lParam, 0);
        }
        EXPECT_EQ(g_desktop.sendInputCalls, 0);
    }
}

TEST_F(DispatchTest, NotchlingReceivesThePointerPacked) {
    struct Case {
        POINT point;
        LPARAM lParam;
    };
    const Case cases[] = {
        {{-1920, 0}, 0xF880},          // top-left pixel of a monitor left of the primary one
        {{100, 200}, 0x00C80064},
        {{0, -1}, 0xFFFF0000},         // negative y stays in the high word; nothing above bit 31
        {{-1, -1}, 0xFFFFFFFF},
        {{70000, 5}, 0x00051170},      // each coordinate cut to 16 bits
        {{3839, 2159}, 0x086F0EFF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "(" << c.point.x << ", " << c.point.y << ")");
        SetUp();
        fake::AddWindow(L"Notchling.Main", kNotchlingWindow);
        EXPECT_TRUE(Fire(CornerAction::Notchling, c.point));
        ASSERT_EQ(g_desktop.postCount, 1);
        EXPECT_EQ(g_desktop.posts[0].window, kNotchlingWindow);
        EXPECT_EQ(g_desktop.posts[0].message, kNotchlingToggle);
        EXPECT_EQ(g_desktop.posts[0].wParam, 1u);
        EXPECT_EQ(g_desktop.posts[0].lParam, c.lParam);
    }
}

TEST_F(DispatchTest, CompanionFailuresReportFalseAndStartNothing) {
    struct Case {
        const char* name;
        CornerAction action;
        UINT notchlingId;
        bool running;
        BOOL postResult;
        int posts;
    };
    const Case cases[] = {
        {"Notchling not running", CornerAction::Notchling, kNotchlingToggle, false, TRUE, 0},
        {"Notchling registration failed", CornerAction::Notchling, 0, true, TRUE, 0},
        {"Notchling post failed", CornerAction::Notchling, kNotchlingToggle, true, FALSE, 1},
        {"Loftmoor post failed", CornerAction::Loftmoor, kNotchlingToggle, true, FALSE, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        g_messages.notchlingToggle = c.notchlingId;
        g_desktop.postResult = c.postResult;
        if (c.running) {
            fake::AddWindow(L"Notchling.Main", kNotchlingWindow);
            fake::AddWindow(L"Loftmoor.Main", kLoftmoorWindow);
        }
        EXPECT_FALSE(Fire(c.action, {5, 5}));
        EXPECT_EQ(g_desktop.postCount, c.posts);
        EXPECT_EQ(g_tracker.lastActionTick, 0u);
    }
}

TEST_F(DispatchTest, NothingIsSearchedWhenTheMessageIsNotRegistered) {
    g_messages.notchlingToggle = 0;
    fake::AddWindow(L"Notchling.Main", kNotchlingWindow);
    EXPECT_FALSE(Fire(CornerAction::Notchling));
    EXPECT_EQ(g_desktop.findWindowCalls, 0);
}

TEST_F(DispatchTest, SpacingOf450MsBetweenActions) {
    struct Case {
        const char* name;
        DWORD lastActionTick;
        DWORD now;
        bool allowed;
    };
    const Case cases[] = {
        {"never acted", 0, 100, true},
        {"449 ms ago", 10000, 10449, false},
        {"450 ms ago", 10000, 10450, true},
        {"same tick", 10000, 10000, false},
        {"across the wrap, 336 ms ago", 0xFFFFFF00u, 0x50, false},
        {"across the wrap, 450 ms ago", 0xFFFFFF00u, 0xC2, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        fake::AddWindow(L"Notchling.Main", kNotchlingWindow);
        g_tracker.lastActionTick = c.lastActionTick;
        g_desktop.now = c.now;
        EXPECT_EQ(Fire(CornerAction::Notchling), c.allowed);
        EXPECT_EQ(g_desktop.postCount, c.allowed ? 1 : 0);
        EXPECT_EQ(g_desktop.findWindowCalls, c.allowed ? 1 : 0);
        EXPECT_EQ(g_tracker.lastActionTick, c.allowed ? c.now : c.lastActionTick);
    }
}

TEST_F(DispatchTest, NothingRunsWhileACaptureStartIsInProgressOrTheCornerIsDisabled) {
    fake::AddWindow(L"Notchling.Main", kNotchlingWindow);
    g_tracker.launchInProgress = true;
    EXPECT_FALSE(Fire(CornerAction::Notchling));
    EXPECT_FALSE(Fire(CornerAction::TaskView));
    g_tracker.launchInProgress = false;
    EXPECT_FALSE(Fire(CornerAction::Disabled));
    EXPECT_EQ(g_desktop.postCount, 0);
    EXPECT_EQ(g_desktop.sendInputCalls, 0);
    EXPECT_EQ(g_desktop.findWindowCalls, 0);
    EXPECT_EQ(g_tracker.lastActionTick, 0u);
}

TEST_F(DispatchTest, TheActionIsReadWhenTheCornerFires) {
    fake::AddWindow(L"Notchling.Main", kNotchlingWindow);
    struct Case {
        Corner corner;
        CornerAction Settings::*field;
    };
    const Case cases[] = {{Corner::TopLeft, &Settings::topLeft},
                          {Corner::TopRight, &Settings::topRight},
                          {Corner::BottomLeft, &Settings::bottomLeft},
                          {Corner::BottomRight, &Settings::bottomRight}};
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.corner));
        g_settings = Settings{};
        g_settings.topRight = CornerAction::Disabled;
        g_tracker.lastActionTick = 0;
        g_desktop.ResetCounters();
        EXPECT_FALSE(DispatchCornerAction(c.corner, {1, 2}));
        g_settings.*c.field = CornerAction::Notchling;
        EXPECT_TRUE(DispatchCornerAction(c.corner, {1, 2}));
        EXPECT_EQ(g_desktop.postCount, 1);
        EXPECT_EQ(g_desktop.sendInputCalls, 0);
    }
}

TEST_F(DispatchTest, ActionAtTickZeroStillHoldsTheNextOneBack) {
    // A stored 0 means "never"; an action carried out exactly at tick 0 must not read as never.
    fake::AddWindow(L"Notchling.Main", kNotchlingWindow);
    g_desktop.now = 0;
    EXPECT_TRUE(Fire(CornerAction::Notchling));
    EXPECT_NE(g_tracker.lastActionTick, 0u);
    g_desktop.now = 100;
    EXPECT_FALSE(Fire(CornerAction::Notchling));
    EXPECT_EQ(g_desktop.postCount, 1);
}

}  // namespace
