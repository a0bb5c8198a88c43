// The capture start seen from the corner poll: ShellExecuteExW may run timer ticks before it returns,
// and a failed start must hold off the next actions. Driven through the real PollCorners and
// DispatchCornerAction with a faked pointer, monitor, clock and shell.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <string>

#include "corners/CaptureLaunch.h"
#include "corners/CornerTracker.h"
#include "corners/Dispatch.h"
#include "storage/Paths.h"
#include "support/TestSupport.h"

namespace {

std::wstring g_appData;
POINT g_cursor = {0, 0};
RECT g_monitor = {0, 0, 1280, 800};
DWORD g_now = 1000;
int g_shellCalls = 0;
BOOL g_shellResult = TRUE;
int g_keyInputs = 0;
std::function<void()> g_duringStart;  // runs inside the faked ShellExecuteExW

HRESULT WINAPI ScratchAppData(HWND, int, HANDLE, DWORD, LPWSTR buffer) {
    wcsncpy(buffer, g_appData.c_str(), MAX_PATH - 1);
    return S_OK;
}
BOOL WINAPI FakeCursor(POINT* point) {
    *point = g_cursor;
    return TRUE;
}
SHORT WINAPI NoButtons(int) { return 0; }
HMONITOR WINAPI OneMonitor(POINT, DWORD) { return reinterpret_cast<HMONITOR>(static_cast<INT_PTR>(0x10001)); }
BOOL WINAPI FakeMonitorInfo(HMONITOR, MONITORINFO* info) {
    info->rcMonitor = g_monitor;
    info->rcWork = g_monitor;
    return TRUE;
}
HRESULT WINAPI Dpi96(HMONITOR, MONITOR_DPI_TYPE, UINT* x, UINT* y) {
    *x = 96;
    *y = 96;
    return S_OK;
}
DWORD WINAPI FakeTick() { return g_now; }
UINT WINAPI CountKeys(UINT count, INPUT*, int) {
    g_keyInputs += static_cast<int>(count);
    return count;
}
BOOL WINAPI FakeShell(SHELLEXECUTEINFOW* info) {
    ++g_shellCalls;
    info->hProcess = nullptr;
    if (g_duringStart) {
        auto during = std::move(g_duringStart);  // once: a nested start must not nest again
        g_duringStart = nullptr;
        during();
    }
    return g_shellResult;
}

class CaptureGuard : public ::testing::Test {
protected:
    void SetUp() override {
        std::wstring root = scratch.path();
        g_appData = root.substr(0, root.size() - 1);
        g_cursor = {0, 0};
        g_monitor = {0, 0, 1280, 800};
        g_now = 1000;
        g_shellCalls = 0;
        g_shellResult = TRUE;
        g_keyInputs = 0;
        g_duringStart = nullptr;
        g_platform.shGetFolderPathW = &ScratchAppData;
        g_platform.getCursorPos = &FakeCursor;
        g_platform.getAsyncKeyState = &NoButtons;
        g_platform.monitorFromPoint = &OneMonitor;
        g_platform.getMonitorInfoW = &FakeMonitorInfo;
        g_platform.getDpiForMonitor = &Dpi96;
        g_platform.getTickCount = &FakeTick;
        g_platform.sendInput = &CountKeys;
        g_platform.shellExecuteExW = &FakeShell;

        g_settings = Settings{};
        g_settings.topLeft = CornerAction::FramwickRegion;
        g_settings.topRight = CornerAction::TaskView;
        g_settings.bottomLeft = CornerAction::TaskView;
        g_settings.bottomRight = CornerAction::Disabled;
        g_settings.edgeZonePx = 12;
        g_settings.cornerDwellMs = 350;
        g_tracker = CornerTracker{};

        std::wstring tool = scratch / L"capture.exe";
        ASSERT_TRUE(WriteBytes(tool, std::string("MZ")));
        CreateDirectoryChain(scratch / L"quenby\\Framwick\\");
        ASSERT_TRUE(WriteBytes(scratch / L"quenby\\Framwick\\capture-exe.txt", Utf16Bytes(tool + L"\r\n", true)));
    }
    void TearDown() override { g_duringStart = nullptr; }

    // One timer tick with the pointer at `at` and the clock at `now`.
    static void Tick(POINT at, DWORD now) {
        g_cursor = at;
        g_now = now;
        PollCorners();
    }

    ScratchFolder scratch;
    PlatformGuard platform;
    GlobalsGuard globals;
};

}  // namespace

TEST_F(CaptureGuard, TicksDuringTheStartDoNotDispatch) {
    // A small monitor, so the pointer can pass from the top-left zone into the top-right one in one
    // short move (no jump) while the start is still in progress.
    g_monitor = {0, 0, 30, 30};
    bool nestedTopLeft = true, nestedTopRight = true;
    int keysDuring = -1, shellCallsDuring = -1;
    bool inProgressSeen = false;
    g_duringStart = [&] {
        inProgressSeen = g_tracker.launchInProgress && g_tracker.fired;
        // Well past the 450 ms spacing: only the start in progress can refuse now.
        Tick({1, 1}, g_now + 600);                     // same corner, already fired
        Tick({28, 1}, g_now + 16);                     // into the top-right zone: a new dwell starts
        Tick({28, 1}, g_now + 600);                    // its dwell (500 ms) has passed: would dispatch
        nestedTopLeft = DispatchCornerAction(Corner::TopLeft, {1, 1});
        nestedTopRight = DispatchCornerAction(Corner::TopRight, {28, 1});
        keysDuring = g_keyInputs;
        shellCallsDuring = g_shellCalls;
    };

    Tick({2, 2}, 1000);  // enters the top-left zone: dwell starts
    Tick({2, 2}, 1349);
    EXPECT_EQ(g_shellCalls, 0);
    Tick({2, 2}, 1350);  // dwell complete: the capture start, with the nested ticks inside it

    EXPECT_EQ(g_shellCalls, 1);
    EXPECT_TRUE(inProgressSeen);
    EXPECT_EQ(shellCallsDuring, 1);
    EXPECT_EQ(keysDuring, 0);
    EXPECT_FALSE(nestedTopLeft);
    EXPECT_FALSE(nestedTopRight);
    EXPECT_FALSE(g_tracker.launchInProgress);
    EXPECT_TRUE(g_tracker.fired);
    EXPECT_EQ(g_keyInputs, 0);
}

TEST_F(CaptureGuard, FailedStartHoldsOffEveryCornerFor450MsAndThisCornerUntilReentered) {
    g_shellResult = FALSE;
    Tick({2, 2}, 1000);
    Tick({2, 2}, 1350);  // the start fails
    ASSERT_EQ(g_shellCalls, 1);
    EXPECT_TRUE(g_tracker.fired);
    EXPECT_EQ(g_tracker.lastActionTick, 1350u);

    // Every corner: nothing for 450 ms after the attempt.
    g_now = 1350 + 449;
    EXPECT_FALSE(DispatchCornerAction(Corner::BottomLeft, {2, 790}));
    EXPECT_EQ(g_keyInputs, 0);
    g_now = 1350 + 450;
    EXPECT_TRUE(DispatchCornerAction(Corner::BottomLeft, {2, 790}));
    EXPECT_GT(g_keyInputs, 0);

    // This corner: resting or moving inside it does not try again, however long.
    for (DWORD t = 1816; t < 4000; t += 16) Tick({2, 2}, t);
    Tick({5, 3}, 4000);
    Tick({5, 3}, 5000);
    EXPECT_EQ(g_shellCalls, 1);

    // Leaving for the interior and coming back starts a new dwell, which tries again.
    Tick({40, 40}, 5016);
    Tick({2, 2}, 5032);
    Tick({2, 2}, 5032 + 349);
    EXPECT_EQ(g_shellCalls, 1);
    Tick({2, 2}, 5032 + 350);
    EXPECT_EQ(g_shellCalls, 2);
}

TEST_F(CaptureGuard, MissingToolIsRetriedOnEveryTickOfTheSameDwell) {
    DeleteFileW((scratch / L"quenby\\Framwick\\capture-exe.txt").c_str());
    Tick({2, 2}, 1000);
    for (DWORD t = 1350; t < 1500; t += 16) Tick({2, 2}, t);
    EXPECT_EQ(g_shellCalls, 0);
    EXPECT_FALSE(g_tracker.fired);
    EXPECT_EQ(g_tracker.lastActionTick, 0u);
    // The tool appears while the pointer still rests there: the next tick starts it.
    std::wstring tool = scratch / L"capture.exe";
    ASSERT_TRUE(WriteBytes(scratch / L"quenby\\Framwick\\capture-exe.txt", Utf16Bytes(tool, true)));
    Tick({2, 2}, 1516);
    EXPECT_EQ(g_shellCalls, 1);
    EXPECT_TRUE(g_tracker.fired);
}
