// Stands in for a companion tool: a top-level window of a given class that logs the toggle messages it gets.
//
// Usage: companion_standin.exe <window class> <log file>
// The log (ASCII, one line each) starts with "READY <window handle as decimal>" once the window exists,
// followed by one line per registered toggle message received:
//   MSG <WM_LOFTMOOR_TOGGLE|WM_TESSAWELL_TOGGLE|WM_NOTCHLING_TOGGLE> <wParam> <lParam> <GetTickCount>
// wParam and lParam are printed as unsigned decimal numbers of 64 bits.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>

namespace {

HANDLE g_log = INVALID_HANDLE_VALUE;

struct Toggle {
    const char* name;
    UINT id;  // registered at start
};
Toggle g_toggles[] = {{"WM_LOFTMOOR_TOGGLE", 0}, {"WM_TESSAWELL_TOGGLE", 0}, {"WM_NOTCHLING_TOGGLE", 0}};

void WriteLine(const char* line) {
    DWORD written = 0;
    WriteFile(g_log, line, static_cast<DWORD>(lstrlenA(line)), &written, nullptr);
}

LRESULT CALLBACK CompanionProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    for (const Toggle& toggle : g_toggles) {
        if (toggle.id != 0 && message == toggle.id) {
            char line[160];
            snprintf(line, sizeof(line), "MSG %s %llu %llu %lu\n", toggle.name,
                     static_cast<unsigned long long>(wParam), static_cast<unsigned long long>(lParam),
                     GetTickCount());
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
    g_log = CreateFileW(arguments[2], GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (g_log == INVALID_HANDLE_VALUE) return 3;
    for (Toggle& toggle : g_toggles) toggle.id = RegisterWindowMessageA(toggle.name);

    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &CompanionProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = arguments[1];
    if (!RegisterClassExW(&windowClass)) return 4;
    // An ordinary, never shown top-level window: FindWindowW finds it by class like a real companion's.
    HWND window = CreateWindowExW(WS_EX_TOOLWINDOW, arguments[1], L"Companion stand-in", WS_POPUP, 0, 0, 1, 1,
                                  nullptr, nullptr, instance, nullptr);
    LocalFree(arguments);
    if (!window) return 5;
    char ready[64];
    snprintf(ready, sizeof(ready), "READY %llu\n", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)));
    WriteLine(ready);

    // Runs until the driver ends the process.
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    return 0;
}
