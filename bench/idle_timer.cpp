// Baseline for the start-up and idle benchmarks: the least a Windows program with a 16 ms timer in a
// hidden window can cost. With "--tray" it also adds one tray icon, so its start-up can be compared
// with Hoverlatch's start-up up to the moment its icon is shown.
#include <windows.h>
#include <shellapi.h>

#include <cstring>

namespace {

constexpr UINT_PTR kTimerId = 1;   // same identifier and period as the corner poll
constexpr UINT kTimerPeriodMs = 16;

LRESULT CALLBACK BaselineProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TIMER:   return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    default:         return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

int main(int argc, char** argv) {
    bool withTray = argc > 1 && std::strcmp(argv[1], "--tray") == 0;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &BaselineProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"Hoverlatch.Bench.IdleTimer";
    if (!RegisterClassExW(&windowClass)) return 1;
    HWND window = CreateWindowExW(WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, windowClass.lpszClassName, L"IdleTimer",
                                  WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, instance, nullptr);
    if (!window) return 1;

    NOTIFYICONDATAW icon = {};
    if (withTray) {
        icon.cbSize = sizeof(icon);
        icon.hWnd = window;
        icon.uID = 1;
        icon.uFlags = NIF_ICON | NIF_TIP;
        icon.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
        lstrcpynW(icon.szTip, L"IdleTimer", ARRAYSIZE(icon.szTip));
        Shell_NotifyIconW(NIM_ADD, &icon);
    }
    SetTimer(window, kTimerId, kTimerPeriodMs, nullptr);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    if (withTray) Shell_NotifyIconW(NIM_DELETE, &icon);
    return 0;
}
