// What a fired corner sends: the Task View chord and the companions' toggle messages.
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

#include "FakeDesktop.h"
#include "corners/Dispatch.h"
#include "support/TestSupport.h"

namespace {

using fake::g_desktop;

const HWND kLoftmoor = reinterpret_cast<HWND>(0x111), kTessawell = reinterpret_cast<HWND>(0x222);

class Dispatch : public testing::Test {
protected:
    void SetUp() override { fake::Install(); }
    PlatformGuard platform_;
    GlobalsGuard globals_;
};

bool Fire(CornerAction action, POINT point = {0, 0}) {
    g_settings.topLeft = action;
    return DispatchCornerAction(Corner::TopLeft, point);
}

TEST_F(Dispatch, TaskViewChordAndItsRefusals) {
    struct Key { WORD vk; DWORD flags; };
    const Key winDown = {VK_LWIN, 0}, tabDown = {VK_TAB, 0}, tabUp = {VK_TAB, KEYEVENTF_KEYUP},
              winUp = {VK_LWIN, KEYEVENTF_KEYUP};
    struct Case { const char* name; UINT answers[4]; bool result; std::initializer_list<Key> keys; };
    const Case cases[] = {
        {"all accepted", {1, 1, 1, 1}, true, {winDown, tabDown, tabUp, winUp}},
        {"Windows key refused", {0, 1, 1, 1}, false, {winDown}},
        {"Tab press refused: the Windows key is still released", {1, 0, 1, 1}, false, {winDown, tabDown, winUp}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        std::copy(c.answers, c.answers + 4, g_desktop.inputAnswers);
        EXPECT_EQ(Fire(CornerAction::TaskView), c.result);
        ASSERT_EQ(g_desktop.inputs, static_cast<int>(c.keys.size()));
        const INPUT* sent = g_desktop.sent;
        for (const Key& key : c.keys) {
            const INPUT& in = *sent++;
            EXPECT_EQ(in.type, static_cast<DWORD>(INPUT_KEYBOARD));
            EXPECT_EQ(in.ki.wVk, key.vk);
            EXPECT_EQ(in.ki.dwFlags, key.flags);
            EXPECT_EQ(in.ki.wScan + in.ki.time + in.ki.dwExtraInfo, 0u);
        }
        EXPECT_EQ(g_tracker.lastActionTick, c.result ? g_desktop.now : 0u);
    }
}

TEST_F(Dispatch, LoftmoorFallsBackToTheFormerClassName) {
    // The Loftmoor message id, which windows exist, where the toggle goes.
    struct Case { const char* name; UINT loftmoorId; bool loftmoor, tessawell; HWND postedTo; UINT message; };
    const Case cases[] = {
        {"only Tessawell running", 0xC101, false, true, kTessawell, 0xC102},
        {"both running", 0xC101, true, true, kLoftmoor, 0xC101},
        {"neither running", 0xC101, false, false, nullptr, 0},
        {"registration failed, Loftmoor running", 0, true, false, nullptr, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        g_messages.loftmoorToggle = c.loftmoorId;
        if (c.loftmoor) g_desktop.windows[0] = {L"Loftmoor.Main", kLoftmoor};
        if (c.tessawell) g_desktop.windows[1] = {L"Tessawell.Main", kTessawell};
        EXPECT_EQ(Fire(CornerAction::Loftmoor), c.postedTo != nullptr);
        EXPECT_EQ(g_desktop.posts, c.postedTo ? 1 : 0);
        EXPECT_EQ(g_desktop.posted[0].window, c.postedTo);
        EXPECT_EQ(g_desktop.posted[0].message, c.message);
    }
}

TEST_F(Dispatch, NotchlingGetsThePointerPacked) {
    // (-1920, 0) is the top-left pixel of a monitor left of the primary; nothing may reach above bit 31.
    for (const auto& [point, lParam] : {std::pair<POINT, LPARAM>{{-1920, 0}, 0xF880}, {{0, -1}, 0xFFFF0000}}) {
        SetUp();
        g_desktop.windows[0] = {L"Notchling.Main", reinterpret_cast<HWND>(0x333)};
        EXPECT_TRUE(Fire(CornerAction::Notchling, point));
        ASSERT_EQ(g_desktop.posts, 1);
        EXPECT_EQ(g_desktop.posted[0].message, 0xC103u);
        EXPECT_EQ(g_desktop.posted[0].wParam, 1u);
        EXPECT_EQ(g_desktop.posted[0].lParam, lParam) << point.x << ", " << point.y;
    }
}

}  // namespace
