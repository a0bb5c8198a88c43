#pragma once
// A scripted desktop answering the corner calls through g_platform: two monitors side by side (1920x1080
// at 96 DPI, then one at 144 DPI), a clock the test sets, and a log of keys sent and messages posted.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "corners/Dispatch.h"
#include "platform/Messages.h"
#include "support/TestSupport.h"

namespace fake {

constexpr const wchar_t* kCompanions[] = {L"Loftmoor.Main", L"Tessawell.Main", L"Notchling.Main"};  // handle 1, 2, 3

struct Desktop {
    POINT cursor = {640, 400};
    BOOL cursorResult = TRUE;  // FALSE: no position, as while another desktop has the input
    int buttons = 0;           // bits of VK_LBUTTON (1), VK_RBUTTON (2) and VK_MBUTTON (4) held down
    RECT monitors[2] = {{0, 0, 1920, 1080}, {1920, 0, 3840, 1080}};
    DWORD now = 100000;
    UINT inputAnswers[8] = {1, 1, 1, 1, 1, 1, 1, 1};  // SendInput's answers, in turn
    const wchar_t* running = L"";                      // the companions whose windows are open
    int inputs = 0;
    char log[160] = {};  // "Win+ Tab+ Tab- Win- ", "Notchling.Main 0xc103 1 0xf880 "
};
inline Desktop g_desktop;

template <class... Args> void Log(const char* format, Args... args) {
    const size_t used = std::strlen(g_desktop.log);
    std::snprintf(g_desktop.log + used, sizeof(g_desktop.log) - used, format, args...);
}
inline INT_PTR Index(void* handle) { return reinterpret_cast<INT_PTR>(handle) - 1; }

// A fresh desktop and fresh corner state; TopRight TaskView, zone 12 and dwell 350 as without a file.
struct Test : testing::Test {
    PlatformGuard platform;
    GlobalsGuard globals;
    void SetUp() override {
        g_desktop = Desktop{}, g_tracker = CornerTracker{}, g_settings = Settings{};
        g_messages = {0xC100, 0xC101, 0xC102, 0xC103};
        Platform& p = g_platform;
        p.getCursorPos = [](POINT* point) -> BOOL {
            if (g_desktop.cursorResult) *point = g_desktop.cursor;
            return g_desktop.cursorResult;
        };
        p.getAsyncKeyState = [](int key) { return static_cast<SHORT>((g_desktop.buttons & key) ? 0x8001 : 0); };
        p.monitorFromPoint = [](POINT point, DWORD) { return reinterpret_cast<HMONITOR>(INT_PTR{1 + (point.x >= 1920)}); };
        p.getMonitorInfoW = [](HMONITOR monitor, MONITORINFO* info) {
            return info->rcMonitor = info->rcWork = g_desktop.monitors[Index(monitor)], TRUE;
        };
        p.getDpiForMonitor = [](HMONITOR monitor, MONITOR_DPI_TYPE, UINT* x, UINT* y) {
            return *x = *y = Index(monitor) ? 144 : 96, S_OK;
        };
        p.getTickCount = []() { return g_desktop.now; };
        p.sendInput = [](UINT count, INPUT* inputs, int size) {
            const KEYBDINPUT& k = inputs->ki;  // anything but a bare key press or release is logged as "?"
            const bool bare = count == 1 && size == sizeof(INPUT) && inputs->type == INPUT_KEYBOARD && !k.wScan &&
                              !k.time && !k.dwExtraInfo && (k.dwFlags == 0 || k.dwFlags == KEYEVENTF_KEYUP);
            const char* key = k.wVk == VK_LWIN ? "Win" : k.wVk == VK_TAB ? "Tab" : nullptr;
            Log(bare && key ? "%s%c " : "? ", key, k.dwFlags ? '-' : '+');
            return g_desktop.inputAnswers[g_desktop.inputs++ % 8];
        };
        p.findWindowW = [](LPCWSTR className, LPCWSTR title) -> HWND {
            for (INT_PTR i = 0; i < 3; ++i) {
                if (!title && !lstrcmpW(className, kCompanions[i]) && std::wcsstr(g_desktop.running, kCompanions[i]))
                    return reinterpret_cast<HWND>(i + 1);
            }
            return nullptr;
        };
        p.postMessageW = [](HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
            return Log("%ls %#x %llu %#llx ", kCompanions[Index(window)], message, wParam, lParam), TRUE;
        };
    }
};

inline void TickAt(int x, int y, DWORD now) {
    g_desktop.cursor = {x, y}, g_desktop.now = now;
    PollCorners();
}
inline void TickAt(DWORD now) { TickAt(g_desktop.cursor.x, g_desktop.cursor.y, now); }
// One tick every 16 ms, as the timer runs, for `ms` milliseconds with the pointer at `p`.
inline void Rest(POINT p, DWORD ms) {
    for (const DWORD end = g_desktop.now + ms; g_desktop.now < end;) TickAt(p.x, p.y, g_desktop.now + 16);
}

}  // namespace fake
