// Watches the keyboard as a peer program would: a low-level hook that logs every key event.
//
// Usage: key_watcher.exe <log file> [--pointer]
// The log (ASCII, one line each, written as it happens) starts with "READY <GetTickCount>" once the hook
// is in place, followed by one line per key event:
//   KEY <vk> <down|up> <injected 0|1> <event time ms> <GetTickCount at the hook>
// With --pointer it also logs each new pointer position, polled about every millisecond, so that pointer
// arrivals and key events are timed by the same clock as the program's dwell:
//   POS <x> <y> <GetTickCount>
// The watcher runs until it is killed or receives WM_QUIT.
#include <windows.h>
#include <shellapi.h>

#include <climits>
#include <cstdio>

namespace {

HANDLE g_log = INVALID_HANDLE_VALUE;
CRITICAL_SECTION g_logLock;  // the hook and the pointer thread both append whole lines

void WriteLine(const char* line) {
    EnterCriticalSection(&g_logLock);
    DWORD written = 0;
    WriteFile(g_log, line, static_cast<DWORD>(lstrlenA(line)), &written, nullptr);
    LeaveCriticalSection(&g_logLock);
}

DWORD WINAPI WatchPointer(void*) {
    POINT last = {LONG_MIN, LONG_MIN};
    for (;;) {
        POINT now = {};
        if (GetCursorPos(&now) && (now.x != last.x || now.y != last.y)) {
            char line[96];
            snprintf(line, sizeof(line), "POS %ld %ld %lu\n", now.x, now.y, GetTickCount());
            WriteLine(line);
            last = now;
        }
        Sleep(1);
    }
}

LRESULT CALLBACK KeyboardHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) {
        const auto* event = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        bool down = wParam == WM_KEYDOWN || wParam == WM_SYSKEYDOWN;
        char line[128];
        snprintf(line, sizeof(line), "KEY %lu %s %d %lu %lu\n", event->vkCode, down ? "down" : "up",
                 (event->flags & LLKHF_INJECTED) ? 1 : 0, event->time, GetTickCount());
        WriteLine(line);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!arguments || count < 2) return 2;
    bool watchPointer = count > 2 && lstrcmpW(arguments[2], L"--pointer") == 0;
    InitializeCriticalSection(&g_logLock);
    // Unbuffered writes with read sharing: the test driver reads the file while it grows.
    g_log = CreateFileW(arguments[1], GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    LocalFree(arguments);
    if (g_log == INVALID_HANDLE_VALUE) return 3;

    HHOOK hook = SetWindowsHookExW(WH_KEYBOARD_LL, &KeyboardHook, instance, 0);
    if (!hook) return 4;
    char ready[64];
    snprintf(ready, sizeof(ready), "READY %lu\n", GetTickCount());
    WriteLine(ready);
    if (watchPointer) CloseHandle(CreateThread(nullptr, 0, &WatchPointer, nullptr, 0, nullptr));

    // A low-level hook is called through this thread's message loop.
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    UnhookWindowsHookEx(hook);
    CloseHandle(g_log);
    return 0;
}
