#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "startup/Fakes.h"
#include "startup/StartupShortcut.h"
#include "ui/AboutWindow.h"

namespace {

POINT g_cursor{640, 400};  // the pointer and the monitor DPI as the card reads them
UINT g_dpi = 96;

void PumpMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

using Box = std::array<LONG, 4>;  // left, top, width, height of a window
Box BoxOf(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

// A left press on the card, the pointer moved dx pixels with the button held, then the release.
void Press(HWND about, LONG dx) {
    SendMessageW(about, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    g_cursor.x += dx;
    SendMessageW(about, WM_MOUSEMOVE, MK_LBUTTON, 0);
    SendMessageW(about, WM_LBUTTONUP, 0, 0);
}

// The owner is like the program's main window: a hidden top-level tool window.
struct AboutWindowTest : ::testing::Test {
    ScratchAppData shell;
    HWND owner = CreateWindowExW(WS_EX_TOOLWINDOW, L"Static", L"", WS_POPUP, 0, 0, 1, 1, {}, {}, {}, {});
    void SetUp() override {
        g_platform.getCursorPos = [](POINT* point) -> BOOL { return *point = g_cursor, TRUE; };
        g_platform.getDpiForMonitor = [](HMONITOR, MONITOR_DPI_TYPE, UINT* x, UINT* y) -> HRESULT {
            return *x = *y = g_dpi, S_OK;
        };
    }
    void TearDown() override {
        DestroyWindow(owner);  // and with it any card still open
        PumpMessages();
    }
    HWND Open() {
        ShowAboutWindow(owner);
        PumpMessages();
        return CurrentAboutWindow();
    }
};

}  // namespace

std::wstring g_opened;  // what ShellExecuteW was asked to open

// Centred under the pointer, 12 px (scaled) inside the work area's bottom; a second About only brings it forward.
// GetGuiResources answers 0 under Wine, so each handle the card created is checked itself. Each cycle clicks the
// author's link (which keeps the card), drags the card, then closes it: by a click (a press moved less than 4 px),
// keys, other buttons, WM_CLOSE or the owner's end.
TEST_F(AboutWindowTest, PlacedByDpiAndPointerAndEveryWayToCloseLeavesNoWindowFontPenBrushOrIcon) {
    g_platform.shellExecuteW = [](HWND, LPCWSTR verb, LPCWSTR file, LPCWSTR, LPCWSTR, INT) {
        return g_opened = std::wstring(verb) + L" " + file, reinterpret_cast<HINSTANCE>(42);
    };
    MONITORINFO monitor{sizeof(monitor), {}, {}, 0};
    GetMonitorInfoW(MonitorFromPoint(g_cursor, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT work = monitor.rcWork;
    struct Case { UINT dpi; LONG pointerX; Box placed; LONG titleHeight; };
    const Case cases[] = {
        {96, 640, {390, work.bottom - 12 - 200, 500, 200}, 28},
        {144, work.left + 3, {work.left + 18, work.bottom - 18 - 300, 750, 300}, 42},
        {144, work.right - 1, {work.right - 18 - 750, work.bottom - 18 - 300, 750, 300}, 42},
    };
    const std::pair<UINT, WPARAM> closers[] = {{WM_KEYDOWN, VK_ESCAPE}, {WM_RBUTTONUP, 0}, {WM_KEYDOWN, VK_RETURN},
                                               {WM_MBUTTONUP, 0},       {WM_CLOSE, 0},     {WM_LBUTTONUP, 0},
                                               {WM_DESTROY, 0}};
    const int cycles = StressRounds(static_cast<int>(std::size(closers)), 50);
    for (int cycle = 0; cycle < cycles; ++cycle) {
        const Case& c = cases[cycle % std::size(cases)];
        SCOPED_TRACE("cycle " + std::to_string(cycle));
        g_dpi = c.dpi;
        g_cursor = {c.pointerX, work.top};  // the pointer's height does not matter
        HWND about = Open();
        ASSERT_NE(about, nullptr);
        EXPECT_EQ(BoxOf(about), c.placed);
        const AboutState* state = AboutStateOf(about);
        LOGFONTW title{};
        GetObjectW(state->titleFont.get(), sizeof(title), &title);
        EXPECT_EQ(title.lfHeight, c.titleHeight);
        std::vector<HWND> windows{about, state->tooltip.get()};
        for (HWND w = GetWindow(about, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) windows.push_back(w);
        const HGDIOBJ objects[] = {state->titleFont.get(), state->bodyFont.get(),  state->italicFont.get(),
                                   state->smallFont.get(), state->borderPen.get(), state->separatorPen.get(),
                                   state->backgroundBrush.get()};
        const HICON icon = state->icon.get();
        // Wine's SysLink deletes the brush its colour message hands back: the card's own must survive painting.
        RedrawWindow(about, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        for (HGDIOBJ object : objects) ASSERT_NE(GetObjectType(object), 0u);
        g_opened.clear();
        RECT link{};  // a click on the author's name in the real SysLink
        GetClientRect(state->link, &link);
        LHITTESTINFO at{{0, link.bottom / 2}, {}};
        while (at.pt.x < link.right && !SendMessageW(state->link, LM_HITTEST, 0, LPARAM(&at))) ++at.pt.x;
        SendMessageW(state->link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.pt.x, at.pt.y));
        SendMessageW(state->link, WM_LBUTTONUP, 0, MAKELPARAM(at.pt.x, at.pt.y));
        EXPECT_EQ(Utf8(g_opened), "open https://kvantor.example/");
        SetForegroundWindow(owner);
        ShowWindow(about, SW_HIDE);
        EXPECT_EQ(Open(), about) << "a second card";
        EXPECT_TRUE(IsWindowVisible(about) && GetForegroundWindow() == about) << "not brought forward";
        Press(about, -4);  // a drag: the card follows
        EXPECT_EQ(BoxOf(about), (Box{c.placed[0] - 4, c.placed[1], c.placed[2], c.placed[3]}));
        const auto [message, wParam] = closers[cycle % std::size(closers)];
        if (message == WM_LBUTTONUP) Press(about, 3);  // still a click
        else if (message != WM_DESTROY) SendMessageW(about, message, wParam, 0);
        else DestroyWindow(owner), owner = CreateWindowExW(0, L"Static", L"", 0, 0, 0, 1, 1, {}, {}, {}, {});
        PumpMessages();
        EXPECT_EQ(CurrentAboutWindow(), nullptr);
        for (HWND window : windows) EXPECT_FALSE(IsWindow(window));
        for (HGDIOBJ object : objects) EXPECT_EQ(GetObjectType(object), 0u);
        ICONINFO info{};
        EXPECT_FALSE(GetIconInfo(icon, &info));
    }
}

std::wstring g_longPath;                   // where the executable is, longer than MAX_PATH
std::vector<std::wstring> g_versionFiles;  // files whose version resource was asked for

// A path longer than MAX_PATH reaches the version lookup whole, and still gets a Startup shortcut. (Wine's
// shell link keeps no target that long, so the target itself is not read back here.)
TEST_F(AboutWindowTest, InstallPathLongerThanMaxPathIsUsedWhole) {
    for (g_longPath = L"C:\\Portable"; g_longPath.size() < 300;) g_longPath += L"\\deeply-nested-folder";
    g_longPath += L"\\Hoverlatch.exe";
    // As Windows does: a cut, terminated path and the buffer's size as the answer when it does not fit.
    g_platform.getModuleFileNameW = [](HMODULE, LPWSTR out, DWORD size) -> DWORD {
        lstrcpynW(out, g_longPath.c_str(), static_cast<int>(size));
        return std::min<DWORD>(size, static_cast<DWORD>(g_longPath.size()));
    };
    g_platform.getFileVersionInfoSizeW = [](LPCWSTR file, LPDWORD) -> DWORD { return g_versionFiles.push_back(file), 0; };
    g_platform.getCurrentPackageFullName = [](UINT32*, PWSTR) -> LONG { return APPMODEL_ERROR_NO_PACKAGE; };
    SetRunAtStartup(true);
    EXPECT_TRUE(FileExists(shell.scratch / L"Hoverlatch.lnk"));
    ASSERT_NE(Open(), nullptr);
    EXPECT_EQ(g_versionFiles, std::vector<std::wstring>{g_longPath});
}
