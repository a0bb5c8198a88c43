#include "app/TrayIcon.h"

#include "platform/Messages.h"
#include "platform/Platform.h"

TrayIcon g_trayIcon;

namespace {

constexpr UINT kTrayIconId = 1;           // the one icon of the main window
constexpr int kTrayIconResource = 102;    // icon group of the tray artwork
constexpr int kTrayIconSizePx = 32;       // loaded at this size; the shell scales it down
constexpr DWORD kTrayDebounceMs = 400;    // one click yields two events (button up, then select)

// Version 4 brings NIN_SELECT/NIN_KEYSELECT and the event in the low word of lParam.
void SetTrayVersion() {
    g_trayIcon.record.uVersion = NOTIFYICON_VERSION_4;
    g_platform.shellNotifyIconW(NIM_SETVERSION, &g_trayIcon.record);
}

}  // namespace

void InitTrayIcon(HWND mainWindow, HINSTANCE instance) {
    NOTIFYICONDATAW& record = g_trayIcon.record;
    record = {};
    record.cbSize = sizeof(NOTIFYICONDATAW);
    record.hWnd = mainWindow;
    record.uID = kTrayIconId;
    record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP;
    record.uCallbackMessage = WM_TRAY_CALLBACK;
    // Loaded once and kept: the shell holds on to the handle while the icon is shown.
    record.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kTrayIconResource), IMAGE_ICON,
                                                 kTrayIconSizePx, kTrayIconSizePx, LR_DEFAULTCOLOR));
    if (!record.hIcon) record.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    lstrcpynW(record.szTip, L"Hoverlatch", ARRAYSIZE(record.szTip));
    g_trayIcon.added = false;
}

bool AddTrayIcon() {
    // No retry on failure: the shell announces "TaskbarCreated" when it is ready, and the icon is added then.
    if (!g_platform.shellNotifyIconW(NIM_ADD, &g_trayIcon.record)) return false;
    g_trayIcon.added = true;
    SetTrayVersion();
    return true;
}

void ReAddTrayIcon() {
    if (g_trayIcon.added) {
        g_platform.shellNotifyIconW(NIM_DELETE, &g_trayIcon.record);
        g_trayIcon.added = false;
    }
    AddTrayIcon();
}

void RemoveTrayIcon() {
    if (g_trayIcon.added) g_platform.shellNotifyIconW(NIM_DELETE, &g_trayIcon.record);
    g_trayIcon.added = false;
}

bool IsMenuTrayEvent(UINT event) {
    switch (event) {
    case WM_CONTEXTMENU:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case NIN_SELECT:
    case NIN_KEYSELECT:
        return true;
    default:
        return false;
    }
}

bool TrayDebounceLetsThrough(DWORD now, DWORD lastOpenTick) {
    // Unsigned subtraction stays right across the wrap of the tick counter.
    return lastOpenTick == 0 || now - lastOpenTick >= kTrayDebounceMs;
}
