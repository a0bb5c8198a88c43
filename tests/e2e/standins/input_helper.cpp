// Small Windows-side probes and inputs for the end-to-end driver.
//
// Usage: input_helper.exe <result file> <command> [arguments]
// The answer is written to the result file (ASCII, one line) because Wine's output must not be read
// through a pipe; the exit code is 0 on success and 1 when the command failed or found nothing.
//
//   button <down|up>                             the left button at the pointer; "tick-before-input"
//   tick                                         GetTickCount
//   trayicons                                    "<count> <hwnd>..." of the tray icons the Wine shell shows
//   find <class|-> [title]                       "<hwnd> <visible 0|1> <pid>" of FindWindowW
//   post <class|-> <message> <wParam> <lParam> [title]   "posted <message> <PostMessageW 0|1>"
// <message> is a number (decimal or 0x hex) or a name to register; a class of "-" means any class.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kTrayIconClass[] = L"__winex11_tray_icon";  // one window per icon in Wine's X11 driver

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

unsigned long long Number(const wchar_t* text) { return wcstoull(text, nullptr, 0); }
UINT Message(const wchar_t* text) { return iswdigit(text[0]) ? Number(text) : RegisterWindowMessageW(text); }
const wchar_t* ClassArgument(const wchar_t* text) { return wcscmp(text, L"-") == 0 ? nullptr : text; }
std::string Handle(HWND window) { return std::to_string(reinterpret_cast<UINT_PTR>(window)); }

// Icons live as children of the standalone "Wine System Tray" window when the X display has no tray;
// with an X tray each icon is a top-level window of the same class docked into it. Both are counted.
BOOL CALLBACK NoteTrayIcon(HWND window, LPARAM icons) {
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    if (wcscmp(className, kTrayIconClass) == 0) reinterpret_cast<std::vector<HWND>*>(icons)->push_back(window);
    return TRUE;
}

BOOL CALLBACK NoteTrayIconsOf(HWND window, LPARAM icons) {
    NoteTrayIcon(window, icons);
    EnumChildWindows(window, &NoteTrayIcon, icons);
    return TRUE;
}

std::vector<HWND> TrayIcons() {
    std::vector<HWND> icons;
    EnumWindows(&NoteTrayIconsOf, reinterpret_cast<LPARAM>(&icons));
    return icons;
}

// Wine warps the X pointer back to its own idea of the cursor when it injects a button, so that idea is
// refreshed first from where the pointer really is. Answers GetTickCount just before the input.
bool PressLeftButton(const wchar_t* action, std::string* result) {
    const bool down = wcscmp(action, L"down") == 0;
    if (!down && wcscmp(action, L"up") != 0) return false;
    POINT point = {};
    GetCursorPos(&point);
    SetCursorPos(point.x, point.y);
    *result = std::to_string(GetTickCount());
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
    return SendInput(1, &input, sizeof(INPUT)) == 1;
}

int Run(int count, wchar_t** arguments, std::string* result) {
    auto is = [&](const wchar_t* name, int needed) { return wcscmp(arguments[2], name) == 0 && count >= needed; };
    if (is(L"button", 4)) return PressLeftButton(arguments[3], result) ? 0 : 1;
    if (is(L"tick", 3)) return *result = std::to_string(GetTickCount()), 0;
    if (is(L"trayicons", 3)) {
        std::vector<HWND> icons = TrayIcons();
        *result = std::to_string(icons.size());
        for (HWND icon : icons) result->append(" ").append(Handle(icon));  // a re-added icon gets a new window
        return 0;
    }
    const bool find = is(L"find", 4);
    if (!find && !is(L"post", 7)) return *result = "usage", 2;
    const int titleAt = find ? 4 : 7;
    HWND window = FindWindowW(ClassArgument(arguments[3]), titleAt < count ? arguments[titleAt] : nullptr);
    if (find) {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        *result = Handle(window) + (IsWindowVisible(window) ? " 1 " : " 0 ") + std::to_string(window ? pid : 0);
        return window ? 0 : 1;
    }
    if (!window) return *result = "nowindow", 1;
    const UINT message = Message(arguments[4]);
    const BOOL ok = PostMessageW(window, message, static_cast<WPARAM>(Number(arguments[5])),
                                 static_cast<LPARAM>(Number(arguments[6])));
    *result = "posted " + std::to_string(message) + (ok ? " 1" : " 0");
    return ok ? 0 : 1;
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
