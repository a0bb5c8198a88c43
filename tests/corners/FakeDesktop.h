#pragma once
// A scripted desktop answering the corner calls through g_platform: monitors, pointer, buttons, clock,
// input sink and companion windows. Fixed-size storage, so the allocation test counts only the program.
#include <windows.h>

#include <cwchar>

#include "app/Messages.h"
#include "app/Platform.h"
#include "corners/CornerTracker.h"
#include "settings/Settings.h"

namespace fake {

struct Desktop {
    POINT cursor = {640, 400};
    int buttons = 0;  // VK_LBUTTON | VK_RBUTTON | VK_MBUTTON bits held down (their codes are 1, 2, 4)
    struct { RECT rect; UINT dpi; } monitors[2] = {{{0, 0, 1920, 1080}, 96}, {{1920, 0, 3840, 1080}, 144}};
    DWORD now = 100000;
    UINT inputAnswers[8] = {1, 1, 1, 1, 1, 1, 1, 1};
    struct { const wchar_t* className; HWND handle; } windows[2] = {};
    BOOL postResult = TRUE;
    BOOL cursorResult = TRUE;  // FALSE: no position, as while the secure desktop has the input

    int cursorQueries = 0, keyQueries = 0, monitorQueries = 0, dpiQueries = 0, finds = 0, inputs = 0, posts = 0;
    INPUT sent[8] = {};
    struct { HWND window; UINT message; WPARAM wParam; LPARAM lParam; } posted[4] = {};
};

inline Desktop g_desktop;

inline BOOL WINAPI CursorPos(POINT* point) {
    ++g_desktop.cursorQueries;
    if (g_desktop.cursorResult) *point = g_desktop.cursor;
    return g_desktop.cursorResult;
}
inline SHORT WINAPI KeyState(int key) {
    ++g_desktop.keyQueries;
    return (g_desktop.buttons & key) ? static_cast<SHORT>(0x8001) : 0;
}
inline HMONITOR WINAPI MonitorAt(POINT point, DWORD) {
    ++g_desktop.monitorQueries;
    return reinterpret_cast<HMONITOR>(static_cast<INT_PTR>(point.x >= 1920 ? 2 : 1));
}
inline auto& MonitorOf(HMONITOR monitor) { return g_desktop.monitors[reinterpret_cast<INT_PTR>(monitor) - 1]; }
inline BOOL WINAPI MonitorInfo(HMONITOR monitor, MONITORINFO* info) {
    info->rcMonitor = info->rcWork = MonitorOf(monitor).rect;
    return TRUE;
}
inline HRESULT WINAPI Dpi(HMONITOR monitor, MONITOR_DPI_TYPE, UINT* x, UINT* y) {
    ++g_desktop.dpiQueries;
    *x = *y = MonitorOf(monitor).dpi;
    return S_OK;
}
inline DWORD WINAPI Tick() { return g_desktop.now; }
inline UINT WINAPI SendInputs(UINT count, INPUT* inputs, int size) {
    Desktop& d = g_desktop;
    if (count != 1 || size != sizeof(INPUT) || d.inputs >= 8) return 0;
    d.sent[d.inputs] = inputs[0];
    return d.inputAnswers[d.inputs++];
}
inline HWND WINAPI FindWindowByClass(LPCWSTR className, LPCWSTR title) {
    ++g_desktop.finds;
    for (const auto& w : g_desktop.windows) {
        if (!title && w.className && std::wcscmp(w.className, className) == 0) return w.handle;
    }
    return nullptr;
}
inline BOOL WINAPI Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (g_desktop.posts < 4) g_desktop.posted[g_desktop.posts] = {window, message, wParam, lParam};
    ++g_desktop.posts;
    return g_desktop.postResult;
}

// A fresh desktop (1920x1080 at 96 DPI, a 144 DPI monitor to its right) and fresh corner state.
inline void Install() {
    g_desktop = Desktop{};
    g_platform.getCursorPos = &CursorPos;
    g_platform.getAsyncKeyState = &KeyState;
    g_platform.monitorFromPoint = &MonitorAt;
    g_platform.getMonitorInfoW = &MonitorInfo;
    g_platform.getDpiForMonitor = &Dpi;
    g_platform.getTickCount = &Tick;
    g_platform.sendInput = &SendInputs;
    g_platform.findWindowW = &FindWindowByClass;
    g_platform.postMessageW = &Post;
    g_tracker = CornerTracker{};
    g_settings = Settings{};  // TopRight: TaskView, zone 12, dwell 350
    g_messages = {0xC100, 0xC101, 0xC102, 0xC103};  // Loftmoor, Tessawell and Notchling toggles last
}

inline void TickAt(int x, int y, DWORD now) {
    g_desktop.cursor = {x, y};
    g_desktop.now = now;
    PollCorners();
}
inline void TickAt(DWORD now) { TickAt(g_desktop.cursor.x, g_desktop.cursor.y, now); }

// Windows key presses sent: one per Task View chord.
inline int Chords() {
    int count = 0;
    for (int i = 0; i < g_desktop.inputs; ++i) {
        count += g_desktop.sent[i].ki.wVk == VK_LWIN && !g_desktop.sent[i].ki.dwFlags;
    }
    return count;
}

inline const char* State() {
    if (g_tracker.blocked) return "Blocked";
    if (!g_tracker.dwellActive) return "Idle";
    return g_tracker.fired ? "Fired" : "Dwelling";
}

}  // namespace fake
