#pragma once
#include <windows.h>
#include <shellapi.h>

// The notification-area icon: one record kept for the life of the process, so the same data adds the
// icon, adds it again after a shell restart and deletes it at shutdown.
struct TrayIcon {
    NOTIFYICONDATAW record = {};
    bool added = false;          // the last add succeeded and no delete followed
    DWORD lastOpenTick = 0;      // GetTickCount of the last tray event let through; 0 means never
};

extern TrayIcon g_trayIcon;

// Fills the record for the main window (icon 102 at 32 x 32, tooltip "Hoverlatch"); adds nothing.
void InitTrayIcon(HWND mainWindow, HINSTANCE instance);
// NIM_ADD, and NIM_SETVERSION with version 4 when the add succeeded. Returns whether it was added.
bool AddTrayIcon();
// After "TaskbarCreated": drops the icon the old shell may still list, then adds it again.
void ReAddTrayIcon();
// NIM_DELETE when the icon is added.
void RemoveTrayIcon();

// Whether a tray callback event (low word of lParam) asks for the menu.
bool IsMenuTrayEvent(UINT event);
// The 400 ms debounce of tray events: true when an event at `now` may open the menu.
bool TrayDebounceLetsThrough(DWORD now, DWORD lastOpenTick);
