// The main window's decisions on a real hidden window: event routing, tray debounce, icon and shutdown.
#include <gtest/gtest.h>
#include <windows.h>
#include <wtsapi32.h>

#include <vector>

#include "app/MainWindow.h"
#include "app/Messages.h"
#include "app/TrayIcon.h"
#include "support/TestSupport.h"
#include "ui/DarkTheme.h"

namespace {

enum Route { kPoll, kReset, kMenu, kMenuRequest, kOtherPost, kColorRefresh };
using Routes = std::vector<Route>;
using Actions = std::vector<DWORD>;

// What the window procedure handed on; reset for every test.
struct Seen {
    Routes routes;
    Actions notifies;
    DWORD tick = 1000;
    BOOL shellAccepts = TRUE;
};
Seen g_seen;

void FakePoll() { g_seen.routes.push_back(kPoll); }
void FakeReset() { g_seen.routes.push_back(kReset); }
void FakeShowMenu(HWND) { g_seen.routes.push_back(kMenu); }
void IgnoreCommand(HWND, WORD) {}
DWORD WINAPI FakeTick() { return g_seen.tick; }
BOOL WINAPI RecordPost(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
    return g_seen.routes.push_back(message == WM_APP_SHOWMENU && !wParam && !lParam ? kMenuRequest : kOtherPost), TRUE;
}
BOOL WINAPI RecordNotify(DWORD action, PNOTIFYICONDATAW) {
    g_seen.notifies.push_back(action);
    return action == NIM_ADD ? g_seen.shellAccepts : TRUE;
}
void WINAPI CountRefresh() { g_seen.routes.push_back(kColorRefresh); }

// PostQuitMessage leaves a quit request for this thread; later tests must not see it. -1: none.
WPARAM TakeQuitMessage() {
    MSG message;
    return PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) ? message.wParam : WPARAM(-1);
}

template <class T> struct Restore { T& value; T saved = value; ~Restore() { value = saved; } };  // at the test's end

// A tray event as the shell sends it with version 4: the event in the low word, the icon in the high.
LPARAM Tray(UINT event) { return MAKELPARAM(event, 1); }
LPARAM Area(const wchar_t* name) { return reinterpret_cast<LPARAM>(name); }

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_seen = Seen{};
        g_routes = {&FakePoll, &FakeReset, &FakeShowMenu, &IgnoreCommand, RealRoutes().themeSettingChange};
        g_darkMode = {.colorPolicyRefresh = &CountRefresh};
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

    PlatformGuard platform;
    Restore<MainWindowRoutes> routes{g_routes};
    Restore<TrayIcon> tray{g_trayIcon};
    Restore<RegisteredMessages> messages{g_messages};
    Restore<DarkModeEntryPoints> theme{g_darkMode};
    HWND window = nullptr;
};

TEST_F(MainWindowTest, EachEventReachesItsSubsystemOrNothing) {
    constexpr UINT kTray = WM_TRAY_CALLBACK, kSession = WM_WTSSESSION_CHANGE, kSetting = WM_SETTINGCHANGE;
    // The menu never opens inside the tray callback: the request ("ask") is posted.
    const Routes ask{kMenuRequest}, reset{kReset}, refresh{kColorRefresh};
    struct Case { UINT message; WPARAM wParam; LPARAM lParam; Routes routes; };
    const Case cases[] = {
        {WM_TIMER, 1, 0, {kPoll}}, {WM_TIMER, 0, 0, {}}, {WM_TIMER, 2, 0, {}}, {WM_TIMER, 0x10001, 0, {}},
        {kTray, 0, Tray(WM_CONTEXTMENU), ask}, {kTray, 0, Tray(WM_LBUTTONUP), ask}, {kTray, 0, Tray(WM_RBUTTONUP), ask},
        {kTray, 0, Tray(NIN_SELECT), ask}, {kTray, 0, Tray(NIN_KEYSELECT), ask}, {kTray, 0, Tray(WM_MOUSEMOVE), {}},
        {kTray, 0, Tray(WM_LBUTTONDOWN), {}}, {kTray, 0, Tray(NIN_POPUPOPEN), {}},
        {WM_APP_SHOWMENU, 0, 0, {kMenu}}, {WM_DISPLAYCHANGE, 32, MAKELPARAM(1280, 800), reset},
        {kSession, WTS_CONSOLE_CONNECT, 1, reset}, {kSession, WTS_CONSOLE_DISCONNECT, 1, reset},
        {kSession, WTS_REMOTE_CONNECT, 1, reset}, {kSession, WTS_REMOTE_DISCONNECT, 1, reset},
        {kSession, WTS_SESSION_LOCK, 1, reset}, {kSession, WTS_SESSION_UNLOCK, 1, reset},
        {kSession, WTS_SESSION_LOGON, 1, {}}, {kSession, WTS_SESSION_LOGOFF, 1, {}},
        {kSession, WTS_SESSION_REMOTE_CONTROL, 1, {}}, {kSession, 0, 1, {}}, {kSession, 11, 1, {}},
        // Every setting change re-applies the theme; only a colour-set change (any case) refreshes its colours.
        {kSetting, 0, Area(L"ImmersiveColorSet"), refresh}, {kSetting, 0, Area(L"immersivecolorset"), refresh},
        {kSetting, 0, Area(L"Environment"), {}}, {kSetting, 0, 0, {}},
    };
    for (const Case& c : cases) {
        g_seen.routes.clear();
        g_trayIcon.lastOpenTick = 500;  // long enough ago for the next tray event
        EXPECT_EQ(Send(c.message, c.wParam, c.lParam), 0);
        EXPECT_EQ(g_seen.routes, c.routes) << std::hex << c.message << " " << c.wParam << " " << c.lParam;
        // Only a tray event let through restarts the debounce; a second start's request leaves it alone.
        EXPECT_EQ(g_trayIcon.lastOpenTick, c.routes == ask ? g_seen.tick : 500u);
    }
}

TEST_F(MainWindowTest, TrayDebounceLetsOneEventThroughPer400Ms) {
    struct Event { UINT event; DWORD tick; };
    struct Case { const char* name; std::vector<Event> events; size_t requests; };
    const Case cases[] = {
        {"left click: button up then select", {{WM_LBUTTONUP, 1000}, {NIN_SELECT, 1000}}, 1},
        {"399 ms apart", {{NIN_SELECT, 1000}, {NIN_SELECT, 1399}}, 1},
        {"400 ms apart", {{NIN_SELECT, 1000}, {NIN_SELECT, 1400}}, 2},
        {"held back events do not extend the wait", {{NIN_SELECT, 1000}, {NIN_SELECT, 1300}, {NIN_SELECT, 1450}}, 2},
        {"tick wraps within 400 ms", {{NIN_SELECT, 0xFFFFFF00u}, {NIN_SELECT, 0x10}}, 1},
        {"tick wraps, 400 ms passed", {{NIN_SELECT, 0xFFFFFF00u}, {NIN_SELECT, 0x90}}, 2},
    };
    for (const Case& c : cases) {
        g_seen.routes.clear();
        g_trayIcon.lastOpenTick = 0;
        for (const Event& e : c.events) {
            g_seen.tick = e.tick;
            Send(WM_TRAY_CALLBACK, 0, Tray(e.event));
        }
        EXPECT_EQ(g_seen.routes, Routes(c.requests, kMenuRequest)) << c.name;
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
        // A failed registration leaves identifier 0, which matches no message.
        {0, created, true, TRUE, {}, true, false}, {0, WM_NULL, true, TRUE, {}, true, false},
        {created, WM_DESTROY, true, TRUE, {NIM_DELETE}, false, true},
        {created, WM_DESTROY, false, TRUE, {}, false, true},
    };
    for (const Case& c : cases) {
        ASSERT_NE(SetTimer(window, kCornerPollTimerId, kCornerPollPeriodMs, nullptr), 0u);
        g_messages.taskbarCreated = c.registered;
        g_trayIcon.added = c.added;
        g_seen.shellAccepts = c.accepts;
        g_seen.notifies.clear();
        Send(c.sent);
        EXPECT_EQ(g_seen.notifies, c.actions) << c.registered << " " << c.sent << " " << c.added << " " << c.accepts;
        EXPECT_EQ(g_trayIcon.added, c.addedAfter);
        EXPECT_EQ(KillTimer(window, kCornerPollTimerId) != FALSE, !c.ends) << "the poll timer runs on until the end";
        EXPECT_EQ(TakeQuitMessage(), c.ends ? 0u : WPARAM(-1));
    }
}

}  // namespace
