// The main window's decisions on a real hidden window: event routing, tray debounce, icon and shutdown.
#include <gtest/gtest.h>
#include <windows.h>
#include <wtsapi32.h>

#include <vector>

#include "app/MainWindow.h"
#include "app/TrayIcon.h"
#include "platform/Messages.h"
#include "support/TestSupport.h"

namespace {

enum Route { kPoll, kReset, kMenu, kMenuRequest, kOtherPost, kTheme };
using Routes = std::vector<Route>;
using Actions = std::vector<DWORD>;
Routes g_routesTaken;  // what the window procedure handed on
Actions g_notifies;    // Shell_NotifyIcon actions
DWORD g_tick;
BOOL g_shellAccepts = TRUE;

DWORD WINAPI FakeTick() { return g_tick; }
BOOL WINAPI RecordPost(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
    return g_routesTaken.push_back(message == WM_APP_SHOWMENU && !wParam && !lParam ? kMenuRequest : kOtherPost), TRUE;
}
BOOL WINAPI RecordNotify(DWORD action, PNOTIFYICONDATAW) {
    return g_notifies.push_back(action), action == NIM_ADD ? g_shellAccepts : TRUE;
}

// PostQuitMessage leaves a quit request for this thread; later tests must not see it. -1: none.
WPARAM TakeQuitMessage() {
    MSG message;
    return PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) ? message.wParam : WPARAM(-1);
}

template <class T> struct Restore { T& value; T saved = value; ~Restore() { value = saved; } };  // at the test's end

// A tray event as the shell sends it with version 4: the event in the low word, the icon in the high.
LPARAM Tray(UINT event) { return MAKELPARAM(event, 1); }

struct MainWindowTest : ::testing::Test {
    PlatformGuard platform;
    Restore<MainWindowRoutes> routes{g_routes};
    Restore<TrayIcon> tray{g_trayIcon};
    Restore<RegisteredMessages> messages{g_messages};
    HWND window = nullptr;

    void SetUp() override {
        g_routesTaken.clear();
        g_routes = {[] { g_routesTaken.push_back(kPoll); }, [] { g_routesTaken.push_back(kReset); },
                    [](HWND) { g_routesTaken.push_back(kMenu); }, [](HWND, WORD) {},
                    [](HWND, LPARAM) { g_routesTaken.push_back(kTheme); }};
        g_platform.getTickCount = &FakeTick;
        g_platform.postMessageW = &RecordPost;
        g_platform.shellNotifyIconW = &RecordNotify;
        ASSERT_TRUE(RegisterMainWindowClass(GetModuleHandleW(nullptr)));
        window = CreateMainWindow(GetModuleHandleW(nullptr));
        ASSERT_NE(window, nullptr);
        InitTrayIcon(window, GetModuleHandleW(nullptr));
        g_messages.taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
    }
    void TearDown() override {
        if (IsWindow(window)) DestroyWindow(window);
        TakeQuitMessage();
    }
    LRESULT Send(UINT message, WPARAM w = 0, LPARAM l = 0) { return SendMessageW(window, message, w, l); }
};

TEST_F(MainWindowTest, EachEventReachesItsSubsystemOrNothing) {
    constexpr UINT kTray = WM_TRAY_CALLBACK, kSession = WM_WTSSESSION_CHANGE, kSetting = WM_SETTINGCHANGE;
    constexpr DWORD kBeforeWrap = 0xFFFFFF00;
    // The menu request ("ask") is posted, never opened in the tray callback. Ticks: last one let through, now.
    const Routes ask{kMenuRequest}, reset{kReset};
    struct Case { UINT message; WPARAM wParam; LPARAM lParam; Routes routes; DWORD lastOpen = 500, now = 1000; };
    const Case cases[] = {
        {WM_TIMER, 1, 0, {kPoll}}, {WM_TIMER, 0, 0, {}}, {WM_TIMER, 2, 0, {}}, {WM_TIMER, 0x10001, 0, {}},
        {kTray, 0, Tray(WM_CONTEXTMENU), ask}, {kTray, 0, Tray(WM_LBUTTONUP), ask}, {kTray, 0, Tray(WM_RBUTTONUP), ask},
        {kTray, 0, Tray(NIN_SELECT), ask}, {kTray, 0, Tray(NIN_KEYSELECT), ask}, {kTray, 0, Tray(WM_MOUSEMOVE), {}},
        {kTray, 0, Tray(WM_LBUTTONDOWN), {}}, {kTray, 0, Tray(NIN_POPUPOPEN), {}},
        // One event per 400 ms, across the wrap of the tick too; one held back does not extend the wait.
        {kTray, 0, Tray(NIN_SELECT), {}, 1000, 1399}, {kTray, 0, Tray(NIN_SELECT), ask, 1000, 1400},
        {kTray, 0, Tray(NIN_SELECT), {}, kBeforeWrap, 0x10}, {kTray, 0, Tray(NIN_SELECT), ask, kBeforeWrap, 0x90},
        {WM_APP_SHOWMENU, 0, 0, {kMenu}}, {WM_DISPLAYCHANGE, 32, MAKELPARAM(1280, 800), reset},
        {kSession, WTS_CONSOLE_CONNECT, 1, reset}, {kSession, WTS_CONSOLE_DISCONNECT, 1, reset},
        {kSession, WTS_REMOTE_CONNECT, 1, reset}, {kSession, WTS_REMOTE_DISCONNECT, 1, reset},
        {kSession, WTS_SESSION_LOCK, 1, reset}, {kSession, WTS_SESSION_UNLOCK, 1, reset},
        {kSession, WTS_SESSION_LOGON, 1, {}}, {kSession, WTS_SESSION_LOGOFF, 1, {}},
        {kSession, WTS_SESSION_REMOTE_CONTROL, 1, {}}, {kSession, 0, 1, {}}, {kSession, 11, 1, {}},
        {kSetting, 0, reinterpret_cast<LPARAM>(L"ImmersiveColorSet"), {kTheme}}, {kSetting, 0, 0, {kTheme}},
    };
    for (const Case& c : cases) {
        g_routesTaken.clear();
        g_trayIcon.lastOpenTick = c.lastOpen;
        g_tick = c.now;
        EXPECT_EQ(Send(c.message, c.wParam, c.lParam), 0);
        EXPECT_EQ(g_routesTaken, c.routes) << std::hex << c.message << " " << c.wParam << " " << c.lParam << " at "
                                           << c.now << " after " << c.lastOpen;
        // Only a tray event let through restarts the debounce; a second start's request leaves it alone.
        EXPECT_EQ(g_trayIcon.lastOpenTick, c.routes == ask ? c.now : c.lastOpen);
    }
}

// The shell (re)starting adds the icon again; the window's end removes it, stops the poll and ends the loop.
TEST_F(MainWindowTest, IconFollowsTheShellAndTheWindow) {
    const UINT created = g_messages.taskbarCreated;
    struct Case { UINT registered; UINT sent; bool added; BOOL accepts; Actions actions; bool addedAfter; bool ends; };
    const Case cases[] = {
        {created, created, true, TRUE, {NIM_DELETE, NIM_ADD, NIM_SETVERSION}, true, false},
        {created, created, true, FALSE, {NIM_DELETE, NIM_ADD}, false, false},  // refused: no version, no retry
        {created, created, false, TRUE, {NIM_ADD, NIM_SETVERSION}, true, false},
        {0, WM_NULL, true, TRUE, {}, true, false},  // a failed registration leaves identifier 0, matching nothing
        {created, WM_DESTROY, true, TRUE, {NIM_DELETE}, false, true},
    };
    for (const Case& c : cases) {
        ASSERT_NE(SetTimer(window, kCornerPollTimerId, kCornerPollPeriodMs, nullptr), 0u);
        g_messages.taskbarCreated = c.registered;
        g_trayIcon.added = c.added;
        g_shellAccepts = c.accepts;
        g_notifies.clear();
        Send(c.sent);
        EXPECT_EQ(g_notifies, c.actions) << c.registered << " " << c.sent << " " << c.added << " " << c.accepts;
        EXPECT_EQ(g_trayIcon.added, c.addedAfter);
        EXPECT_EQ(KillTimer(window, kCornerPollTimerId) != FALSE, !c.ends) << "the poll timer runs on until the end";
        EXPECT_EQ(TakeQuitMessage(), c.ends ? 0u : WPARAM(-1));
    }
}

}  // namespace
