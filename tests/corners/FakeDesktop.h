#pragma once
// A scripted desktop for the corner detector and dispatcher: monitors, pointer, buttons, clock,
// input sink and companion windows, answered through g_platform. Fixed-size storage only, so the
// allocation test can run ticks through it without counting the fake's own memory.
#include <windows.h>

#include <cwchar>

#include "app/Messages.h"
#include "app/Platform.h"
#include "corners/CornerTracker.h"
#include "settings/Settings.h"

namespace fake {

constexpr int kMaxMonitors = 4;
constexpr int kMaxInputs = 16;
constexpr int kMaxPosts = 8;
constexpr int kMaxWindows = 4;
constexpr int kMaxLog = 32;

struct Monitor {
    RECT rect;
    UINT dpi;
};

struct Window {
    const wchar_t* className;
    HWND handle;
};

struct Post {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

struct SentInput {
    UINT count;
    int size;
    INPUT input;
};

struct Desktop {
    // What Windows answers.
    POINT cursor = {640, 400};
    BOOL cursorResult = TRUE;
    bool leftDown = false, rightDown = false, middleDown = false;
    Monitor monitors[kMaxMonitors] = {{{0, 0, 1920, 1080}, 96}};
    int monitorCount = 1;
    BOOL monitorInfoResult = TRUE;
    HRESULT dpiResult = S_OK;
    DWORD now = 100000;
    UINT sendInputAnswers[kMaxInputs] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    Window windows[kMaxWindows] = {};
    int windowCount = 0;
    BOOL postResult = TRUE;
    void (*onPost)() = nullptr;  // runs inside PostMessageW, like a nested message loop would

    // What the program asked.
    int cursorQueries = 0;
    int keyQueries = 0;
    int keyLog[kMaxLog] = {};
    int monitorQueries = 0;
    int monitorInfoQueries = 0;
    int dpiQueries = 0;
    int tickQueries = 0;
    int findWindowCalls = 0;
    const wchar_t* findLog[kMaxLog] = {};
    int sendInputCalls = 0;
    SentInput sent[kMaxInputs] = {};
    int postCount = 0;
    Post posts[kMaxPosts] = {};

    void ResetCounters() {
        cursorQueries = keyQueries = monitorQueries = monitorInfoQueries = dpiQueries = tickQueries = 0;
        findWindowCalls = sendInputCalls = postCount = 0;
    }
};

inline Desktop g_desktop;

inline HMONITOR HandleOf(int index) { return reinterpret_cast<HMONITOR>(static_cast<INT_PTR>(0x1000 + index)); }
inline int IndexOf(HMONITOR monitor) { return static_cast<int>(reinterpret_cast<INT_PTR>(monitor) - 0x1000); }

inline LONG DistanceOutside(LONG v, LONG low, LONG high) { return v < low ? low - v : (v >= high ? v - high + 1 : 0); }

inline BOOL WINAPI GetCursorPosFake(POINT* point) {
    ++g_desktop.cursorQueries;
    if (!g_desktop.cursorResult) return FALSE;
    *point = g_desktop.cursor;
    return TRUE;
}

inline SHORT WINAPI GetAsyncKeyStateFake(int key) {
    Desktop& d = g_desktop;
    if (d.keyQueries < kMaxLog) d.keyLog[d.keyQueries] = key;
    ++d.keyQueries;
    const bool down = (key == VK_LBUTTON && d.leftDown) || (key == VK_RBUTTON && d.rightDown) ||
                      (key == VK_MBUTTON && d.middleDown);
    return down ? static_cast<SHORT>(0x8001) : 0;
}

inline HMONITOR WINAPI MonitorFromPointFake(POINT point, DWORD) {
    ++g_desktop.monitorQueries;
    int best = 0;
    LONG bestDistance = LONG_MAX;
    for (int i = 0; i < g_desktop.monitorCount; ++i) {
        const RECT& r = g_desktop.monitors[i].rect;
        const LONG distance = DistanceOutside(point.x, r.left, r.right) + DistanceOutside(point.y, r.top, r.bottom);
        if (distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return HandleOf(best);
}

inline BOOL WINAPI GetMonitorInfoWFake(HMONITOR monitor, MONITORINFO* info) {
    ++g_desktop.monitorInfoQueries;
    const int index = IndexOf(monitor);
    if (!g_desktop.monitorInfoResult || index < 0 || index >= g_desktop.monitorCount) return FALSE;
    info->rcMonitor = g_desktop.monitors[index].rect;
    info->rcWork = g_desktop.monitors[index].rect;
    return TRUE;
}

inline HRESULT WINAPI GetDpiForMonitorFake(HMONITOR monitor, MONITOR_DPI_TYPE, UINT* x, UINT* y) {
    ++g_desktop.dpiQueries;
    if (FAILED(g_desktop.dpiResult)) {
        *x = *y = 0;  // a failed call promises nothing about its outputs
        return g_desktop.dpiResult;
    }
    *x = *y = g_desktop.monitors[IndexOf(monitor)].dpi;
    return S_OK;
}

inline DWORD WINAPI GetTickCountFake() {
    ++g_desktop.tickQueries;
    return g_desktop.now;
}

inline UINT WINAPI SendInputFake(UINT count, INPUT* inputs, int size) {
    Desktop& d = g_desktop;
    if (d.sendInputCalls >= kMaxInputs) return 0;
    d.sent[d.sendInputCalls] = {count, size, inputs[0]};
    return d.sendInputAnswers[d.sendInputCalls++];
}

inline HWND WINAPI FindWindowWFake(LPCWSTR className, LPCWSTR windowName) {
    Desktop& d = g_desktop;
    if (d.findWindowCalls < kMaxLog) d.findLog[d.findWindowCalls] = className;
    ++d.findWindowCalls;
    if (windowName != nullptr) return nullptr;  // the program never searches by title
    for (int i = 0; i < d.windowCount; ++i) {
        if (std::wcscmp(d.windows[i].className, className) == 0) return d.windows[i].handle;
    }
    return nullptr;
}

inline BOOL WINAPI PostMessageWFake(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Desktop& d = g_desktop;
    if (d.postCount < kMaxPosts) d.posts[d.postCount] = {window, message, wParam, lParam};
    ++d.postCount;
    if (d.onPost) d.onPost();
    return d.postResult;
}

// Fresh desktop (one 1920x1080 monitor at 96 DPI, pointer in the middle) answering every corner call.
inline void InstallFakeDesktop() {
    g_desktop = Desktop{};
    g_platform.getCursorPos = &GetCursorPosFake;
    g_platform.getAsyncKeyState = &GetAsyncKeyStateFake;
    g_platform.monitorFromPoint = &MonitorFromPointFake;
    g_platform.getMonitorInfoW = &GetMonitorInfoWFake;
    g_platform.getDpiForMonitor = &GetDpiForMonitorFake;
    g_platform.getTickCount = &GetTickCountFake;
    g_platform.sendInput = &SendInputFake;
    g_platform.findWindowW = &FindWindowWFake;
    g_platform.postMessageW = &PostMessageWFake;
}

inline void AddWindow(const wchar_t* className, HWND handle) {
    g_desktop.windows[g_desktop.windowCount++] = {className, handle};
}

// Number of Task View chords started (Windows key presses sent).
inline int ChordsStarted() {
    int count = 0;
    for (int i = 0; i < g_desktop.sendInputCalls; ++i) {
        const KEYBDINPUT& key = g_desktop.sent[i].input.ki;
        if (key.wVk == VK_LWIN && key.dwFlags == 0) ++count;
    }
    return count;
}

// The registered message identifiers, restored when the test ends.
struct MessagesGuard {
    RegisteredMessages saved = g_messages;
    ~MessagesGuard() { g_messages = saved; }
};

enum class TrackerState { Idle, Dwelling, Fired, Blocked };

inline TrackerState StateOf(const CornerTracker& tracker) {
    if (tracker.blocked) return TrackerState::Blocked;
    if (!tracker.dwellActive) return TrackerState::Idle;
    return tracker.fired ? TrackerState::Fired : TrackerState::Dwelling;
}

inline const char* Name(TrackerState state) {
    switch (state) {
    case TrackerState::Idle: return "Idle";
    case TrackerState::Dwelling: return "Dwelling";
    case TrackerState::Fired: return "Fired";
    case TrackerState::Blocked: return "Blocked";
    }
    return "?";
}

}  // namespace fake
