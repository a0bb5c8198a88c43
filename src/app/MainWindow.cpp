#include "app/MainWindow.h"

#include <wtsapi32.h>

#include "app/TrayIcon.h"
#include "corners/CornerTracker.h"
#include "platform/Messages.h"
#include "platform/Platform.h"
#include "ui/DarkTheme.h"
#include "ui/TrayMenu.h"

namespace {

constexpr int kAppIconResource = 101;  // icon group of the application artwork

LRESULT OnTimer(WPARAM timerId) {
    if (timerId == kCornerPollTimerId) g_routes.pollCorners();
    return 0;
}

// The menu is never opened inside the tray callback: the request is posted and handled on its own.
LRESULT OnTrayCallback(HWND window, LPARAM lParam) {
    if (!IsMenuTrayEvent(LOWORD(lParam))) return 0;
    DWORD now = g_platform.getTickCount();
    if (!TrayDebounceLetsThrough(now, g_trayIcon.lastOpenTick)) return 0;
    g_trayIcon.lastOpenTick = now;
    g_platform.postMessageW(window, WM_APP_SHOWMENU, 0, 0);
    return 0;
}

// Posted by the tray callback or sent by a second start; a second start bypasses the debounce.
LRESULT OnShowMenu(HWND window) {
    // A second start waits for the answer to its request. The menu's modal loop would hold it until the
    // menu closes (or its timeout passes), so it is answered first and can exit at once.
    if (InSendMessage()) ReplyMessage(0);
    g_routes.showTrayMenu(window);
    return 0;
}

LRESULT OnCommand(HWND window, WORD identifier) {
    g_routes.handleMenuCommand(window, identifier);
    return 0;
}

LRESULT OnSettingChange(HWND window, LPARAM lParam) {
    g_routes.themeSettingChange(window, lParam);
    return 0;
}

// A new monitor layout or session makes the cached zone and any dwell in progress meaningless.
LRESULT OnDisplayChange() {
    g_routes.resetCornerTracking();
    return 0;
}

LRESULT OnSessionChange(WPARAM code) {
    switch (code) {
    case WTS_CONSOLE_CONNECT:
    case WTS_CONSOLE_DISCONNECT:
    case WTS_REMOTE_CONNECT:
    case WTS_REMOTE_DISCONNECT:
    case WTS_SESSION_LOCK:
    case WTS_SESSION_UNLOCK:
        g_routes.resetCornerTracking();
        return 0;
    default:
        return 0;  // logon, logoff and the rest leave the detector alone
    }
}

// The shell (re)started: the icon it knew, if any, is gone with the old shell.
LRESULT OnTaskbarCreated(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    ReAddTrayIcon();
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT OnDestroy(HWND window) {
    KillTimer(window, kCornerPollTimerId);
    g_platform.wtsUnRegisterSessionNotification(window);
    RemoveTrayIcon();
    PostQuitMessage(0);
    return 0;
}

}  // namespace

MainWindowRoutes RealRoutes() {
    MainWindowRoutes routes{};
    routes.pollCorners = &PollCorners;
    routes.resetCornerTracking = &ResetCornerTracking;
    routes.showTrayMenu = &ShowTrayMenu;
    routes.handleMenuCommand = &HandleMenuCommand;
    routes.themeSettingChange = &OnThemeSettingChange;
    return routes;
}

MainWindowRoutes g_routes = RealRoutes();

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // Registered identifiers are not constants; 0 means the registration failed and matches nothing.
    if (message != 0 && message == g_messages.taskbarCreated) return OnTaskbarCreated(window, message, wParam, lParam);
    switch (message) {
    case WM_TIMER:             return OnTimer(wParam);
    case WM_TRAY_CALLBACK:     return OnTrayCallback(window, lParam);
    case WM_APP_SHOWMENU:      return OnShowMenu(window);
    case WM_COMMAND:           return OnCommand(window, LOWORD(wParam));
    case WM_SETTINGCHANGE:     return OnSettingChange(window, lParam);
    case WM_DISPLAYCHANGE:     return OnDisplayChange();
    case WM_WTSSESSION_CHANGE: return OnSessionChange(wParam);
    case WM_DESTROY:           return OnDestroy(window);
    default:                   return DefWindowProcW(window, message, wParam, lParam);
    }
}

bool RegisterMainWindowClass(HINSTANCE instance) {
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(kAppIconResource), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kMainWindowClass;
    if (RegisterClassExW(&windowClass)) return true;
    return GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND CreateMainWindow(HINSTANCE instance) {
    return CreateWindowExW(WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, kMainWindowClass, kMainWindowTitle, WS_POPUP, 0, 0,
                           1, 1, nullptr, nullptr, instance, nullptr);
}
