// Stands in for the programs around Hoverlatch in the end-to-end tests. Usage: peer.exe <file> <command> ...
// Its output goes to <file>, never to a pipe (Wine's helper processes keep pipes open).
//   watch [class]     stays running; appends "READY" once in place, then, as they happen,
//                       KEY <vk> <down|up> <injected 0|1> <event time ms>  from a low-level keyboard hook,
//                       MSG <registered name> <wParam> <lParam>            for each toggle message, when a window
//                     class is given (a never shown top-level window of it: a companion tool found by FindWindowW).
//   button <down|up>  the left button at the pointer
//   tick | trayicons  GetTickCount | "<count> <hwnd>..." of the tray icons Wine's shell shows
//   find <class> [title] | post <class> <message> <wParam> <lParam> [title]
//                     "<hwnd> <visible 0|1>" of FindWindowW | PostMessageW (a message number or a name to register)
// Started with HOVERLATCH_CAPTURE_LOG set, it is the capture tool: it appends "cwd=<current directory>\targc=<n>
// \targ1=<first argument>..." (UTF-8) to that file and exits.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

constexpr wchar_t kTrayIconClass[] = L"__winex11_tray_icon";  // one window per icon in Wine's X11 driver
constexpr DWORD kPathCapacity = 32768;                        // wide characters: the longest path Windows accepts
const char* const kToggles[] = {"WM_LOFTMOOR_TOGGLE", "WM_TESSAWELL_TOGGLE", "WM_NOTCHLING_TOGGLE"};
HANDLE g_out = INVALID_HANDLE_VALUE;

void Write(const std::string& line) {
    DWORD written = 0;
    WriteFile(g_out, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

std::string Number(long long value) { return std::to_string(value); }

LRESULT CALLBACK KeyboardHook(int code, WPARAM wParam, LPARAM lParam) {
    const auto* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
    if (code == HC_ACTION) {
        Write("KEY " + Number(key->vkCode) + (wParam == WM_KEYDOWN || wParam == WM_SYSKEYDOWN ? " down " : " up ") +
              ((key->flags & LLKHF_INJECTED) ? "1 " : "0 ") + Number(key->time) + "\n");
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK CompanionProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    for (const char* toggle : kToggles) {
        if (message == RegisterWindowMessageA(toggle)) {
            return Write(std::string("MSG ") + toggle + " " + std::to_string(wParam) + " " + Number(lParam) + "\n"), 0;
        }
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

int Watch(const wchar_t* companionClass) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!SetWindowsHookExW(WH_KEYBOARD_LL, &KeyboardHook, instance, 0)) return 4;
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &CompanionProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = companionClass;
    if (companionClass && (!RegisterClassExW(&windowClass) ||
                           !CreateWindowExW(WS_EX_TOOLWINDOW, companionClass, L"", WS_POPUP, 0, 0, 1, 1, nullptr,
                                            nullptr, instance, nullptr))) {
        return 5;
    }
    Write("READY\n");
    // The hook and the window are served by this thread's message loop; the driver kills the process.
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    return 0;
}

// Icons are children of the standalone "Wine System Tray" window, or top-level windows docked into an X tray.
BOOL CALLBACK NoteTrayIcon(HWND window, LPARAM icons) {
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    auto* found = reinterpret_cast<std::string*>(icons);
    if (wcscmp(className, kTrayIconClass) == 0) found->append(Number(UINT_PTR(window)) + " ");
    return TRUE;
}

BOOL CALLBACK NoteTrayIconsOf(HWND window, LPARAM icons) {
    NoteTrayIcon(window, icons);
    EnumChildWindows(window, &NoteTrayIcon, icons);
    return TRUE;
}

// Wine warps the X pointer back to its own idea of the cursor when it injects a button, so that idea is
// refreshed first from where the pointer really is.
bool PressLeftButton(bool down) {
    POINT point = {};
    GetCursorPos(&point);
    SetCursorPos(point.x, point.y);
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
    return SendInput(1, &input, sizeof(INPUT)) == 1;
}

int Probe(int count, wchar_t** arguments) {
    auto is = [&](const wchar_t* name, int needed) { return wcscmp(arguments[2], name) == 0 && count >= needed; };
    if (is(L"button", 4)) return PressLeftButton(wcscmp(arguments[3], L"down") == 0) ? 0 : 1;
    if (is(L"tick", 3)) return Write(Number(GetTickCount()) + "\n"), 0;
    if (is(L"trayicons", 3)) {
        std::string icons;
        EnumWindows(&NoteTrayIconsOf, reinterpret_cast<LPARAM>(&icons));
        return Write(icons + "\n"), 0;  // a re-added icon gets a new window
    }
    const bool find = is(L"find", 4);
    if (!find && !is(L"post", 7)) return 2;
    const int titleAt = find ? 4 : 7;
    HWND window = FindWindowW(arguments[3], titleAt < count ? arguments[titleAt] : nullptr);
    if (find) return Write(Number(UINT_PTR(window)) + (IsWindowVisible(window) ? " 1\n" : " 0\n")), window ? 0 : 1;
    const wchar_t* name = arguments[4];
    const UINT message = iswdigit(name[0]) ? wcstoul(name, nullptr, 0) : RegisterWindowMessageW(name);
    const WPARAM wParam = wcstoull(arguments[5], nullptr, 0);
    return window && PostMessageW(window, message, wParam, wcstoll(arguments[6], nullptr, 0)) ? 0 : 1;
}

int RecordCaptureStart(const wchar_t* logPath) {
    static wchar_t directory[kPathCapacity];
    GetCurrentDirectoryW(kPathCapacity, directory);
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::wstring record = std::wstring(L"cwd=") + directory + L"\targc=" + std::to_wstring(count);
    for (int i = 1; arguments && i < count; ++i) record += L"\targ" + std::to_wstring(i) + L"=" + arguments[i];
    record += L"\n";
    std::string bytes(record.size() * 3, '\0');
    bytes.resize(WideCharToMultiByte(CP_UTF8, 0, record.data(), static_cast<int>(record.size()), bytes.data(),
                                     static_cast<int>(bytes.size()), nullptr, nullptr));
    // One write per record keeps lines whole when several starts log at once.
    g_out = CreateFileW(logPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    return g_out != INVALID_HANDLE_VALUE ? (Write(bytes), 0) : 1;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    static wchar_t captureLog[kPathCapacity];
    const DWORD length = GetEnvironmentVariableW(L"HOVERLATCH_CAPTURE_LOG", captureLog, kPathCapacity);
    if (length > 0 && length < kPathCapacity) return RecordCaptureStart(captureLog);
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!arguments || count < 3) return 2;
    // Read sharing: the driver reads the file while it grows.
    g_out = CreateFileW(arguments[1], GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (g_out == INVALID_HANDLE_VALUE) return 3;
    return wcscmp(arguments[2], L"watch") == 0 ? Watch(count > 3 ? arguments[3] : nullptr) : Probe(count, arguments);
}
