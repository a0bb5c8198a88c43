#pragma once
// A scripted desktop answering the corner calls through g_platform. Fixed-size storage, so the
// allocation test counts only the program's own allocations.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "platform/Messages.h"
#include "support/TestSupport.h"

namespace fake {

// A companion window's handle is its place in this list plus one.
constexpr const wchar_t* kCompanions[] = {L"Loftmoor.Main", L"Tessawell.Main", L"Notchling.Main"};

struct Desktop {
    POINT cursor = {640, 400};
    BOOL cursorResult = TRUE;  // FALSE: no position, as while the secure desktop has the input
    int buttons = 0;           // bits of VK_LBUTTON (1), VK_RBUTTON (2) and VK_MBUTTON (4) held down
    struct { RECT rect; UINT dpi; } monitors[2] = {{{0, 0, 1920, 1080}, 96}, {{1920, 0, 3840, 1080}, 144}};
    DWORD now = 100000;
    UINT inputAnswers[8] = {1, 1, 1, 1, 1, 1, 1, 1};
    const wchar_t* running = L"";  // the companions whose windows are open
    int cursorQueries = 0, keyQueries = 0, monitorQueries = 0, inputs = 0;
    char log[160] = {};  // keys sent and messages posted: "Win+ Tab+ Tab- Win- ", "Notchling.Main 0xc103 1 0xf880 "
};
inline Desktop g_desktop;

inline auto& Screen(HMONITOR monitor) { return g_desktop.monitors[reinterpret_cast<INT_PTR>(monitor) - 1]; }

template <class... Args> void Log(const char* format, Args... args) {
    const size_t used = std::strlen(g_desktop.log);
    std::snprintf(g_desktop.log + used, sizeof(g_desktop.log) - used, format, args...);
}

// A fresh desktop (1920x1080 at 96 DPI, a 144 DPI monitor to its right) and fresh corner state.
struct Test : testing::Test {
    PlatformGuard platform;
    GlobalsGuard globals;
    void SetUp() override {
        g_desktop = Desktop{};
        Platform& p = g_platform;
        p.getCursorPos = [](POINT* point) -> BOOL {
            ++g_desktop.cursorQueries;
            if (g_desktop.cursorResult) *point = g_desktop.cursor;
            return g_desktop.cursorResult;
        };
        p.getAsyncKeyState = [](int key) -> SHORT {
            ++g_desktop.keyQueries;
            return (g_desktop.buttons & key) ? static_cast<SHORT>(0x8001) : 0;
        };
        p.monitorFromPoint = [](POINT point, DWORD) {
            ++g_desktop.monitorQueries;
            return reinterpret_cast<HMONITOR>(static_cast<INT_PTR>(point.x >= 1920 ? 2 : 1));
        };
        p.getMonitorInfoW = [](HMONITOR monitor, MONITORINFO* info) -> BOOL {
            info->rcMonitor = info->rcWork = Screen(monitor).rect;
            return TRUE;
        };
        p.getDpiForMonitor = [](HMONITOR monitor, MONITOR_DPI_TYPE, UINT* x, UINT* y) -> HRESULT {
            ++g_desktop.monitorQueries;
            *x = *y = Screen(monitor).dpi;
            return S_OK;
        };
        p.getTickCount = []() -> DWORD { return g_desktop.now; };
        p.sendInput = [](UINT count, INPUT* inputs, int size) -> UINT {
            const KEYBDINPUT& k = inputs->ki;  // anything but a bare key press or release is logged as "?"
            const bool bare = count == 1 && size == sizeof(INPUT) && inputs->type == INPUT_KEYBOARD && !k.wScan &&
                              !k.time && !k.dwExtraInfo && (k.dwFlags == 0 || k.dwFlags == KEYEVENTF_KEYUP);
            const char* key = k.wVk == VK_LWIN ? "Win" : k.wVk == VK_TAB ? "Tab" : nullptr;
            Log(bare && key ? "%s%c " : "? ", key, k.dwFlags ? '-' : '+');
            return g_desktop.inputAnswers[g_desktop.inputs++ % 8];
        };
        p.findWindowW = [](LPCWSTR className, LPCWSTR title) -> HWND {
            for (INT_PTR i = 0; i < 3; ++i) {
                if (!title && !lstrcmpW(className, kCompanions[i]) && std::wcsstr(g_desktop.running, kCompanions[i])) {
                    return reinterpret_cast<HWND>(i + 1);
                }
            }
            return nullptr;
        };
        p.postMessageW = [](HWND window, UINT message, WPARAM wParam, LPARAM lParam) -> BOOL {
            Log("%ls %#x %llu %#llx ", kCompanions[reinterpret_cast<INT_PTR>(window) - 1], message, wParam, lParam);
            return TRUE;
        };
        g_tracker = CornerTracker{};
        g_settings = Settings{};  // TopRight: TaskView, zone 12, dwell 350
        g_messages = {0xC100, 0xC101, 0xC102, 0xC103};  // Loftmoor, Tessawell and Notchling toggles last
    }
};

inline void TickAt(int x, int y, DWORD now) {
    g_desktop.cursor = {x, y}, g_desktop.now = now;
    PollCorners();
}
inline void TickAt(DWORD now) { TickAt(g_desktop.cursor.x, g_desktop.cursor.y, now); }

inline const char* State() {
    return g_tracker.blocked ? "Blocked" : !g_tracker.dwellActive ? "Idle" : g_tracker.fired ? "Fired" : "Dwelling";
}

}  // namespace fake
