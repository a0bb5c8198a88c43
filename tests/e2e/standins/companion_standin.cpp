// Stands in for a companion tool. Usage: companion_standin.exe <log file> <window class>
// A never shown top-level window of that class (found by FindWindowW like a real companion's); the log
// holds "READY" once it exists, then "MSG <registered name> <wParam> <lParam>" per toggle message received.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>

namespace {

HANDLE g_log = INVALID_HANDLE_VALUE;
const char* const kToggles[] = {"WM_LOFTMOOR_TOGGLE", "WM_TESSAWELL_TOGGLE", "WM_NOTCHLING_TOGGLE"};

void WriteLine(const char* line) {
    DWORD written = 0;
    WriteFile(g_log, line, static_cast<DWORD>(lstrlenA(line)), &written, nullptr);
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

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!arguments || count < 3) return 2;
    g_log = CreateFileW(arguments[1], GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (g_log == INVALID_HANDLE_VALUE) return 3;
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &CompanionProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = arguments[2];
    if (!RegisterClassExW(&windowClass)) return 4;
    if (!CreateWindowExW(WS_EX_TOOLWINDOW, arguments[2], L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, instance, nullptr)) {
        return 5;
    }
    WriteLine("READY\n");
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    return 0;
}
