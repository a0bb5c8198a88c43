// Watches the keyboard and the pointer as a peer program would. Usage: key_watcher.exe <log file>
// The log (ASCII, written as it happens) holds "READY" once the low-level hook is in place, then
//   KEY <vk> <down|up> <injected 0|1> <event time ms>   for each key event, and
//   POS <x> <y> <GetTickCount>                          for each new pointer position (polled every ms),
// so pointer arrivals and key events are timed by the clock of the program's dwell.
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
    for (POINT last = {LONG_MIN, LONG_MIN};; Sleep(1)) {
        POINT now = {};
        if (GetCursorPos(&now) && (now.x != last.x || now.y != last.y)) {
            char line[96];
            snprintf(line, sizeof(line), "POS %ld %ld %lu\n", now.x, now.y, GetTickCount());
            WriteLine(line);
            last = now;
        }
    }
}

LRESULT CALLBACK KeyboardHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) {
        const auto* event = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        char line[128];
        snprintf(line, sizeof(line), "KEY %lu %s %d %lu\n", event->vkCode,
                 wParam == WM_KEYDOWN || wParam == WM_SYSKEYDOWN ? "down" : "up",
                 (event->flags & LLKHF_INJECTED) ? 1 : 0, event->time);
        WriteLine(line);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!arguments || count < 2) return 2;
    InitializeCriticalSection(&g_logLock);
    // Read sharing: the driver reads the file while it grows.
    g_log = CreateFileW(arguments[1], GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (g_log == INVALID_HANDLE_VALUE) return 3;
    HHOOK hook = SetWindowsHookExW(WH_KEYBOARD_LL, &KeyboardHook, instance, 0);
    if (!hook) return 4;
    WriteLine("READY\n");
    CloseHandle(CreateThread(nullptr, 0, &WatchPointer, nullptr, 0, nullptr));
    // A low-level hook is called through this thread's message loop; the driver kills the process.
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    return 0;
}
