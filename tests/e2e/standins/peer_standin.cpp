// Stands in for peer programs. Usage: peer_standin.exe <log file> [window class]
// It watches the keyboard (a low-level hook) and the pointer as any other program could; with a window class
// it also stands in for a companion tool: a never shown top-level window of that class, found by FindWindowW
// like the real one's. The log (ASCII, written as it happens) holds "READY" once all is in place, then
//   KEY <vk> <down|up> <injected 0|1> <event time ms>   for each key event,
//   POS <x> <y> <GetTickCount>                          for each new pointer position (polled every ms), and
//   MSG <registered name> <wParam> <lParam>             for each toggle message the window gets,
// so pointer arrivals and key events are timed by the clock of the program's dwell.
#include <windows.h>
#include <shellapi.h>

#include <climits>
#include <cstdio>

namespace {

HANDLE g_log = INVALID_HANDLE_VALUE;
CRITICAL_SECTION g_logLock;  // the hook, the window and the pointer thread all append whole lines
const char* const kToggles[] = {"WM_LOFTMOOR_TOGGLE", "WM_TESSAWELL_TOGGLE", "WM_NOTCHLING_TOGGLE"};

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

LRESULT CALLBACK CompanionProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    for (const char* toggle : kToggles) {
        if (message == RegisterWindowMessageA(toggle)) {
            char line[160];
            snprintf(line, sizeof(line), "MSG %s %llu %llu\n", toggle, static_cast<unsigned long long>(wParam),
                     static_cast<unsigned long long>(lParam));
            WriteLine(line);
            return 0;
        }
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

bool CreateCompanionWindow(HINSTANCE instance, const wchar_t* className) {
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &CompanionProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = className;
    return RegisterClassExW(&windowClass) &&
           CreateWindowExW(WS_EX_TOOLWINDOW, className, L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, instance, nullptr);
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
    if (!SetWindowsHookExW(WH_KEYBOARD_LL, &KeyboardHook, instance, 0)) return 4;
    if (count > 2 && !CreateCompanionWindow(instance, arguments[2])) return 5;
    CloseHandle(CreateThread(nullptr, 0, &WatchPointer, nullptr, 0, nullptr));
    WriteLine("READY\n");
    // The hook and the window are served by this thread's message loop; the driver kills the process.
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    return 0;
}
