// Small Windows-side probes and inputs for the end-to-end driver.
//
// Usage: input_helper.exe <result file> <command> [arguments]
// The answer is written to the result file (ASCII, one line) because Wine's output must not be read
// through a pipe; the exit code is 0 on success and 1 when the command failed or found nothing.
//
//   button <left|right|middle> <down|up|click>   SendInput at the pointer; "x y tick-before-input"
//   cursor                                       "x y" of GetCursorPos
//   tick                                         GetTickCount
//   trayicons                                    "<count> <hwnd>..." of the tray icons the Wine shell shows
//   waittray <count> <timeout ms>                "waiting" at once, then, when that many tray icons
//                                                show (or at the timeout), "<count> <GetTickCount>"
//   find <class|-> [title]                       "<hwnd> <visible 0|1> <pid>" of FindWindowW
//   post <class|-> <message> <wParam> <lParam> [title]
//   send <class|-> <message> <wParam> <lParam> <timeout ms> [title]   SendMessageTimeoutW, SMTO_ABORTIFHUNG
//   broadcast <message> <wParam> <lParam>        PostMessageW to HWND_BROADCAST
//   windows                                      every top-level window: "hwnd pid visible class|title;..."
// <message> is a number (decimal or 0x hex) or a name given to RegisterWindowMessageW.
// A class of "-" means any class (a null class name).
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

constexpr wchar_t kTrayIconClass[] = L"__winex11_tray_icon";  // one window per icon in Wine's X11 driver

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return {};
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                   nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr,
                        nullptr);
    return bytes;
}

bool WriteResult(const wchar_t* path, const std::string& text) {
    HANDLE file = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    std::string line = text + "\n";
    DWORD written = 0;
    BOOL ok = WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == line.size();
}

unsigned long long ParseNumber(const wchar_t* text) { return wcstoull(text, nullptr, 0); }

UINT ParseMessage(const wchar_t* text) {
    if (iswdigit(text[0])) return static_cast<UINT>(ParseNumber(text));
    return RegisterWindowMessageW(text);
}

const wchar_t* ClassArgument(const wchar_t* text) { return wcscmp(text, L"-") == 0 ? nullptr : text; }

bool IsClass(HWND window, const wchar_t* name) {
    wchar_t className[256] = {};
    GetClassNameW(window, className, 256);
    return wcscmp(className, name) == 0;
}

struct TrayIcons {
    int count = 0;
    std::string handles;  // " <hwnd>" per icon: a re-added icon gets a new window
};

void NoteTrayIcon(HWND window, TrayIcons* icons) {
    ++icons->count;
    char handle[32];
    snprintf(handle, sizeof(handle), " %llu", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)));
    icons->handles += handle;
}

BOOL CALLBACK CountTrayChild(HWND window, LPARAM icons) {
    if (IsClass(window, kTrayIconClass)) NoteTrayIcon(window, reinterpret_cast<TrayIcons*>(icons));
    return TRUE;
}

// Icons live as children of the standalone "Wine System Tray" window when the X display has no tray;
// with an X tray each icon is a top-level window of the same class docked into it. Both are counted.
BOOL CALLBACK CountTrayTopLevel(HWND window, LPARAM icons) {
    if (IsClass(window, kTrayIconClass)) NoteTrayIcon(window, reinterpret_cast<TrayIcons*>(icons));
    EnumChildWindows(window, &CountTrayChild, icons);
    return TRUE;
}

TrayIcons FindTrayIcons() {
    TrayIcons icons;
    EnumWindows(&CountTrayTopLevel, reinterpret_cast<LPARAM>(&icons));
    return icons;
}

BOOL CALLBACK DescribeWindow(HWND window, LPARAM text) {
    wchar_t className[256] = {};
    wchar_t title[256] = {};
    GetClassNameW(window, className, 256);
    GetWindowTextW(window, title, 256);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    wchar_t line[700];
    swprintf(line, 700, L"%llu %lu %d %ls|%ls;", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)),
             pid, IsWindowVisible(window) ? 1 : 0, className, title);
    *reinterpret_cast<std::wstring*>(text) += line;
    return TRUE;
}

// Wine warps the X pointer back to its own idea of the cursor when it injects a button, so that idea is
// refreshed first from where the pointer really is.
bool PressButton(const wchar_t* button, const wchar_t* action, std::string* result) {
    DWORD down = 0;
    DWORD up = 0;
    if (wcscmp(button, L"left") == 0) {
        down = MOUSEEVENTF_LEFTDOWN;
        up = MOUSEEVENTF_LEFTUP;
    } else if (wcscmp(button, L"right") == 0) {
        down = MOUSEEVENTF_RIGHTDOWN;
        up = MOUSEEVENTF_RIGHTUP;
    } else if (wcscmp(button, L"middle") == 0) {
        down = MOUSEEVENTF_MIDDLEDOWN;
        up = MOUSEEVENTF_MIDDLEUP;
    } else {
        return false;
    }
    POINT point = {};
    GetCursorPos(&point);
    SetCursorPos(point.x, point.y);
    bool ok = true;
    DWORD tick = 0;  // just before the last input: the program cannot have seen it earlier
    auto send = [&ok, &tick](DWORD flags) {
        tick = GetTickCount();
        INPUT input = {};
        input.type = INPUT_MOUSE;
        input.mi.dwFlags = flags;
        ok = SendInput(1, &input, sizeof(INPUT)) == 1 && ok;
    };
    if (wcscmp(action, L"down") == 0 || wcscmp(action, L"click") == 0) send(down);
    if (wcscmp(action, L"up") == 0 || wcscmp(action, L"click") == 0) send(up);
    char text[64];
    snprintf(text, sizeof(text), "%ld %ld %lu", point.x, point.y, tick);
    *result = text;
    return ok;
}

int Run(int count, wchar_t** arguments, std::string* result) {
    const wchar_t* command = arguments[2];
    auto argument = [&](int index) -> const wchar_t* { return index < count ? arguments[index] : nullptr; };
    char text[128];

    if (wcscmp(command, L"button") == 0 && count >= 5) return PressButton(arguments[3], arguments[4], result) ? 0 : 1;
    if (wcscmp(command, L"cursor") == 0) {
        POINT point = {};
        BOOL ok = GetCursorPos(&point);
        snprintf(text, sizeof(text), "%ld %ld", point.x, point.y);
        *result = text;
        return ok ? 0 : 1;
    }
    if (wcscmp(command, L"tick") == 0) {
        snprintf(text, sizeof(text), "%lu", GetTickCount());
        *result = text;
        return 0;
    }
    if (wcscmp(command, L"trayicons") == 0) {
        TrayIcons icons = FindTrayIcons();
        snprintf(text, sizeof(text), "%d", icons.count);
        *result = text;
        *result += icons.handles;
        return 0;
    }
    if (wcscmp(command, L"waittray") == 0 && count >= 5) {
        int wanted = static_cast<int>(ParseNumber(arguments[3]));
        DWORD timeout = static_cast<DWORD>(ParseNumber(arguments[4]));
        WriteResult(arguments[1], "waiting");  // the driver starts the program once the watch is on
        DWORD start = GetTickCount();
        int icons = FindTrayIcons().count;
        while (icons != wanted && GetTickCount() - start < timeout) {
            Sleep(2);
            icons = FindTrayIcons().count;
        }
        snprintf(text, sizeof(text), "%d %lu", icons, GetTickCount());
        *result = text;
        return icons == wanted ? 0 : 1;
    }
    if (wcscmp(command, L"find") == 0 && count >= 4) {
        HWND window = FindWindowW(ClassArgument(arguments[3]), argument(4));
        DWORD pid = 0;
        if (window) GetWindowThreadProcessId(window, &pid);
        snprintf(text, sizeof(text), "%llu %d %lu", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)),
                 window && IsWindowVisible(window) ? 1 : 0, pid);
        *result = text;
        return window ? 0 : 1;
    }
    if ((wcscmp(command, L"post") == 0 && count >= 7) || (wcscmp(command, L"send") == 0 && count >= 8)) {
        bool send = command[0] == L's';
        HWND window = FindWindowW(ClassArgument(arguments[3]), argument(send ? 8 : 7));
        if (!window) {
            *result = "nowindow";
            return 1;
        }
        UINT message = ParseMessage(arguments[4]);
        WPARAM wParam = static_cast<WPARAM>(ParseNumber(arguments[5]));
        LPARAM lParam = static_cast<LPARAM>(ParseNumber(arguments[6]));
        if (!send) {
            BOOL ok = PostMessageW(window, message, wParam, lParam);
            snprintf(text, sizeof(text), "posted %u %d", message, ok ? 1 : 0);
            *result = text;
            return ok ? 0 : 1;
        }
        DWORD_PTR answer = 0;
        LRESULT sent = SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG,
                                           static_cast<UINT>(ParseNumber(arguments[7])), &answer);
        snprintf(text, sizeof(text), "sent %u %lld %llu", message, static_cast<long long>(sent),
                 static_cast<unsigned long long>(answer));
        *result = text;
        return sent ? 0 : 1;
    }
    if (wcscmp(command, L"broadcast") == 0 && count >= 6) {
        UINT message = ParseMessage(arguments[3]);
        BOOL ok = PostMessageW(HWND_BROADCAST, message, static_cast<WPARAM>(ParseNumber(arguments[4])),
                               static_cast<LPARAM>(ParseNumber(arguments[5])));
        snprintf(text, sizeof(text), "broadcast %u %d", message, ok ? 1 : 0);
        *result = text;
        return ok ? 0 : 1;
    }
    if (wcscmp(command, L"windows") == 0) {
        std::wstring list;
        EnumWindows(&DescribeWindow, reinterpret_cast<LPARAM>(&list));
        *result = Utf8(list);
        return 0;
    }
    *result = "usage";
    return 2;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!arguments || count < 3) return 2;
    std::string result;
    int code = Run(count, arguments, &result);
    if (!WriteResult(arguments[1], result)) code = 3;
    LocalFree(arguments);
    return code;
}
