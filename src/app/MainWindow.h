#pragma once
#include <windows.h>

constexpr UINT_PTR kCornerPollTimerId = 1;  // the main window's only timer
constexpr UINT kCornerPollPeriodMs = 16;    // about one display frame
// Found by a second start of the program, which asks this window to open the tray menu.
constexpr wchar_t kMainWindowClass[] = L"Hoverlatch.MainWindow";
constexpr wchar_t kMainWindowTitle[] = L"Hoverlatch";

// Where the main window hands each event. Starts out pointing at the owning subsystems; tests replace
// entries to see what the window procedure decided without opening menus or moving the pointer.
struct MainWindowRoutes {
    void (*pollCorners)();
    void (*resetCornerTracking)();
    void (*showTrayMenu)(HWND owner);
    void (*handleMenuCommand)(HWND mainWindow, WORD identifier);
    void (*themeSettingChange)(HWND window, LPARAM lParam);
};

extern MainWindowRoutes g_routes;

// The routes as they are at process start.
MainWindowRoutes RealRoutes();

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Registers "Hoverlatch.MainWindow"; true also when the class already exists.
bool RegisterMainWindowClass(HINSTANCE instance);
// The hidden 1 x 1 top-level window. Not message-only: it must receive the broadcasts
// "TaskbarCreated", WM_SETTINGCHANGE and WM_DISPLAYCHANGE.
HWND CreateMainWindow(HINSTANCE instance);
