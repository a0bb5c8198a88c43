#pragma once
// A scripted desktop answering the corner calls through g_platform: two monitors side by side (1920x1080
// at 96 DPI, then one at 144 DPI), a clock the test sets, and a log of the keys sent and messages posted.
#include <gtest/gtest.h>

#include <string>

#include "corners/Dispatch.h"
#include "platform/Messages.h"
#include "support/TestSupport.h"

namespace fake {

struct Desktop {
    POINT cursor = {640, 400};
    BOOL cursorResult = TRUE;  // FALSE: no position, as while another desktop has the input
    int buttons = 0;           // bits of VK_LBUTTON (1), VK_RBUTTON (2) and VK_MBUTTON (4) held down
    RECT monitors[2] = {{0, 0, 1920, 1080}, {1920, 0, 3840, 1080}};
    DWORD now = 100000;
    UINT inputAnswers[4] = {1, 1, 1, 1};  // SendInput's answers, in turn
    int inputs = 0;
    std::string log;  // "Win+ Tab+ Tab- Win- "; a posted message as "message wParam lParam " in hex
};
inline Desktop g_desktop;

// A fresh desktop and fresh corner state: TopRight TaskView, zone 12, dwell 350, as without a file.
struct Test : testing::Test {
    PlatformGuard platform;
    GlobalsGuard globals;
    void SetUp() override {
        g_desktop = Desktop{}, g_tracker = CornerTracker{}, g_settings = Settings{};
        g_messages = {0xC100, 0xC101, 0xC102, 0xC103};
        Platform& p = g_platform;
        p.getCursorPos = [](POINT* point) {
            if (g_desktop.cursorResult) *point = g_desktop.cursor;
            return g_desktop.cursorResult;
        };
        p.getAsyncKeyState = [](int key) { return static_cast<SHORT>((g_desktop.buttons & key) ? 0x8001 : 0); };
        p.monitorFromPoint = [](POINT at, DWORD) { return reinterpret_cast<HMONITOR>(INT_PTR{1 + (at.x >= 1920)}); };
        p.getMonitorInfoW = [](HMONITOR monitor, MONITORINFO* info) {
            return info->rcMonitor = g_desktop.monitors[reinterpret_cast<INT_PTR>(monitor) - 1], TRUE;
        };
        p.getDpiForMonitor = [](HMONITOR monitor, MONITOR_DPI_TYPE, UINT* x, UINT* y) {
            return *x = *y = reinterpret_cast<INT_PTR>(monitor) == 2 ? 144 : 96, S_OK;
        };
        p.getTickCount = []() { return g_desktop.now; };
        p.sendInput = [](UINT count, INPUT* in, int size) {  // anything but a bare key press or release shows as "?"
            const bool bare = count == 1 && size == sizeof(INPUT) && in->type == INPUT_KEYBOARD && !in->ki.wScan &&
                              !in->ki.time && !in->ki.dwExtraInfo && (in->ki.dwFlags & ~KEYEVENTF_KEYUP) == 0;
            const WORD key = bare ? in->ki.wVk : 0;
            g_desktop.log += (key == VK_LWIN ? "Win" : key == VK_TAB ? "Tab" : "?") + std::string(in->ki.dwFlags ? "- " : "+ ");
            return g_desktop.inputAnswers[g_desktop.inputs++ % 4];
        };
        p.findWindowW = [](LPCWSTR name, LPCWSTR title) {
            return !title && !lstrcmpW(name, L"Notchling.Main") ? reinterpret_cast<HWND>(INT_PTR{1}) : nullptr;
        };
        p.postMessageW = [](HWND, UINT message, WPARAM wParam, LPARAM lParam) {
            char text[64];
            std::snprintf(text, sizeof(text), "%x %llx %llx ", message, wParam, lParam);
            return g_desktop.log += text, TRUE;
        };
    }
};

inline void TickAt(int x, int y, DWORD now) {
    g_desktop.cursor = {x, y}, g_desktop.now = now;
    PollCorners();
}

}  // namespace fake
