// The first start's main window, driven by messages: session registration, event routing, the tray debounce.
#include <gtest/gtest.h>
#include <windows.h>
#include <wtsapi32.h>

#include <utility>
#include <vector>

#include "app/MainWindow.h"
#include "app/Shell.h"
#include "app/TrayIcon.h"
#include "platform/Messages.h"
#include "startup/Fakes.h"

namespace {

enum Route { kPoll, kReset, kMenuRequest, kOtherPost, kTheme, kIcon };
std::vector<Route> g_routes;  // what the window procedure handed on
std::vector<std::pair<HWND, DWORD>> g_sessionCalls;  // registrations with their flags; ~0u: unregistered
DWORD g_tick;

template <class T> struct Restore { T& value; T saved = value; ~Restore() { value = saved; } };  // at the test's end

// A tray event as the shell sends it with version 4: the event in the low word, the icon in the high.
LPARAM Tray(UINT event) { return MAKELPARAM(event, 1); }

// Without the session registration no lock, unlock or remote connection would reach the window.
TEST(MainWindow, FirstStartRegistersForThisSessionRoutesEachEventAndItsEndUnregisters) {
    ScratchAppData appData;
    GlobalsGuard globals;
    Restore<MainWindowRoutes> routes{::g_routes};
    Restore<TrayIcon> tray{g_trayIcon};
    Restore<RegisteredMessages> messages{g_messages};
    g_platform.wtsRegisterSessionNotification = [](HWND window, DWORD flags) -> BOOL {
        return g_sessionCalls.emplace_back(window, flags), TRUE;
    };
    g_platform.wtsUnRegisterSessionNotification = [](HWND window) -> BOOL {
        return g_sessionCalls.emplace_back(window, ~0u), TRUE;
    };
    g_platform.shellNotifyIconW = [](DWORD, PNOTIFYICONDATAW) -> BOOL { return g_routes.push_back(kIcon), TRUE; };
    g_platform.getTickCount = [] { return g_tick; };
    g_platform.postMessageW = [](HWND, UINT message, WPARAM wParam, LPARAM lParam) -> BOOL {
        return g_routes.push_back(message == WM_APP_SHOWMENU && !wParam && !lParam ? kMenuRequest : kOtherPost), 1;
    };
    ::g_routes = {[] { g_routes.push_back(kPoll); }, [] { g_routes.push_back(kReset); }, [](HWND) {}, [](HWND, WORD) {},
                  [](HWND, LPARAM) { g_routes.push_back(kTheme); }};
    PostQuitMessage(0);  // the message loop ends at once and leaves the window to the test
    ASSERT_EQ(RunHoverlatch(GetModuleHandleW(nullptr)), 0);
    HWND window = FindWindowW(kMainWindowClass, kMainWindowTitle);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(g_sessionCalls, (std::vector<std::pair<HWND, DWORD>>{{window, NOTIFY_FOR_THIS_SESSION}}));

    g_messages.taskbarCreated = 0;  // a failed registration: identifier 0 must match nothing, WM_NULL included
    constexpr UINT kTray = WM_TRAY_CALLBACK, kSession = WM_WTSSESSION_CHANGE;
    constexpr DWORD kBeforeWrap = 0xFFFFFF00;
    // The menu request ("ask") is posted, never opened in the tray callback. Ticks: last one let through, now.
    const std::vector<Route> ask{kMenuRequest}, reset{kReset};
    struct Case { UINT message; WPARAM wParam; LPARAM lParam; std::vector<Route> routes; DWORD lastOpen = 500, now = 1000; };
    const Case cases[] = {
        {WM_TIMER, 1, 0, {kPoll}}, {WM_NULL, 0, 0, {}}, {WM_APP_SHOWMENU, 0, 0, {}},
        {kTray, 0, Tray(WM_CONTEXTMENU), ask}, {kTray, 0, Tray(NIN_SELECT), ask}, {kTray, 0, Tray(NIN_KEYSELECT), ask},
        {kTray, 0, Tray(WM_MOUSEMOVE), {}}, {kSession, WTS_REMOTE_CONNECT, 1, reset},
        // One event per 400 ms, across the wrap of the tick too; one held back does not extend the wait.
        {kTray, 0, Tray(NIN_SELECT), {}, 1000, 1399}, {kTray, 0, Tray(NIN_SELECT), ask, 1000, 1400},
        {kTray, 0, Tray(NIN_SELECT), {}, kBeforeWrap, 0x10}, {kTray, 0, Tray(NIN_SELECT), ask, kBeforeWrap, 0x90},
        {WM_DISPLAYCHANGE, 32, MAKELPARAM(1280, 800), reset}, {WM_SETTINGCHANGE, 0, 0, {kTheme}},
        {kSession, WTS_SESSION_LOCK, 1, reset}, {kSession, WTS_SESSION_UNLOCK, 1, reset},
    };
    for (const Case& c : cases) {
        g_routes.clear();
        g_trayIcon.lastOpenTick = c.lastOpen;
        g_tick = c.now;
        EXPECT_EQ(SendMessageW(window, c.message, c.wParam, c.lParam), 0);
        EXPECT_EQ(g_routes, c.routes) << std::hex << c.message << " " << c.wParam << " " << c.lParam << " at "
                                      << c.now << " after " << c.lastOpen;
        // Only a tray event let through restarts the debounce; a second start's request (shown end to end) does not.
        EXPECT_EQ(g_trayIcon.lastOpenTick, c.routes == ask ? c.now : c.lastOpen);
    }
    g_messages.taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");  // a restarted shell knows no icon
    g_routes.clear();
    SendMessageW(window, g_messages.taskbarCreated, 0, 0);
    EXPECT_EQ(g_routes, (std::vector<Route>{kIcon, kIcon, kIcon})) << "the old icon removed, added, its version set";
    DestroyWindow(window);
    EXPECT_EQ(g_sessionCalls.back(), std::make_pair(window, DWORD(~0u))) << "not unregistered at the window's end";
    MSG quit;
    PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);  // left by the window's end
}

}  // namespace
