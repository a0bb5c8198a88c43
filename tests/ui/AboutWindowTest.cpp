#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "support/TestSupport.h"
#include "ui/AboutWindow.h"

namespace {

POINT g_cursor{640, 400};  // the pointer and the monitor DPI as the card reads them
UINT g_dpi = 96;
std::vector<std::wstring> g_opened;  // "verb file" per ShellExecuteW call

BOOL WINAPI FakeGetCursorPos(POINT* point) { return *point = g_cursor, TRUE; }
HRESULT WINAPI FakeGetDpiForMonitor(HMONITOR, MONITOR_DPI_TYPE, UINT* x, UINT* y) { return *x = *y = g_dpi, S_OK; }
HINSTANCE WINAPI FakeShellExecuteW(HWND, LPCWSTR verb, LPCWSTR file, LPCWSTR, LPCWSTR, INT) {
    g_opened.push_back(std::wstring(verb ? verb : L"(null)") + L" " + file);
    return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(42));
}

void PumpMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

RECT WindowRect(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

std::vector<HWND> Children(HWND parent) {
    std::vector<HWND> children;
    for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) children.push_back(c);
    return children;
}

struct AboutWindowTest : ::testing::Test {
    PlatformGuard platform;
    HWND owner = NewOwner();

    // Like the program's main window: a hidden top-level tool window.
    static HWND NewOwner() {
        return CreateWindowExW(WS_EX_TOOLWINDOW, L"Static", L"owner", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                               nullptr);
    }

    void SetUp() override {
        g_opened.clear();
        g_platform.getCursorPos = &FakeGetCursorPos;
        g_platform.getDpiForMonitor = &FakeGetDpiForMonitor;
        g_platform.shellExecuteW = &FakeShellExecuteW;
    }
    void TearDown() override {
        DestroyWindow(owner);  // and with it any card still open
        PumpMessages();
        g_cursor = {640, 400};
        g_dpi = 96;
    }
    HWND Open() {
        ShowAboutWindow(owner);
        PumpMessages();
        return CurrentAboutWindow();
    }
};

}  // namespace

TEST_F(AboutWindowTest, SizeTitleFontAndPlacementFollowTheMonitorDpiAndStayInsideTheWorkArea) {
    MONITORINFO monitor{sizeof(monitor), {}, {}, 0};
    GetMonitorInfoW(MonitorFromPoint(g_cursor, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT work = monitor.rcWork;
    // Centred under the pointer at the bottom of the work area, and 12 px (scaled) inside it.
    struct Case { UINT dpi; LONG pointerX; int width, height; LONG titleHeight, left, bottom; };
    const Case cases[] = {
        {96, 640, 500, 200, 28, 390, work.bottom - 12},
        {96, work.right - 1, 500, 200, 28, work.right - 12 - 500, work.bottom - 12},
        {144, 640, 750, 300, 42, 265, work.bottom - 18},
        {144, work.left + 3, 750, 300, 42, work.left + 18, work.bottom - 18},
        {144, work.right - 1, 750, 300, 42, work.right - 18 - 750, work.bottom - 18},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.dpi) + " dpi, pointer x " + std::to_string(c.pointerX));
        g_dpi = c.dpi;
        g_cursor = {c.pointerX, work.top};  // the pointer's height does not matter
        HWND about = Open();
        ASSERT_NE(about, nullptr);
        const RECT placed = WindowRect(about);
        EXPECT_EQ(placed.right - placed.left, c.width);
        EXPECT_EQ(placed.bottom - placed.top, c.height);
        EXPECT_EQ(placed.left, c.left);
        EXPECT_EQ(placed.bottom, c.bottom);
        LOGFONTW title{};
        GetObjectW(AboutStateOf(about)->titleFont.get(), sizeof(title), &title);
        EXPECT_EQ(title.lfHeight, c.titleHeight);
        DestroyWindow(about);
    }
}

TEST_F(AboutWindowTest, SecondAboutCommandBringsTheSameCardForwardWithoutMovingIt) {
    HWND about = Open();
    ASSERT_NE(about, nullptr);
    const RECT before = WindowRect(about);
    SetForegroundWindow(owner);
    ShowWindow(about, SW_HIDE);
    g_cursor = {100, 100};
    EXPECT_EQ(Open(), about);
    EXPECT_TRUE(IsWindowVisible(about));
    EXPECT_EQ(GetForegroundWindow(), about);
    EXPECT_EQ(WindowRect(about).left, before.left);
    EXPECT_EQ(WindowRect(about).top, before.top);
    EXPECT_EQ(FindWindowW(L"Hoverlatch.AboutWindow", nullptr), about);  // the only card
    EXPECT_EQ(FindWindowExW(nullptr, about, L"Hoverlatch.AboutWindow", nullptr), nullptr);
}

// A press moved 4 px or more drags the card; less is a click, which closes it.
TEST_F(AboutWindowTest, PressMovedFourPixelsOrMoreDragsAndLessClosesTheCard) {
    struct Case { const char* name; std::vector<POINT> moves; bool staysOpen; };  // moves: offsets from the press
    const Case cases[] = {
        {"10 px right", {{10, 0}}, true}, {"diagonal", {{6, 8}}, true}, {"exactly 4 px", {{-4, 0}}, true},
        {"out and back still drags", {{10, 0}, {1, 1}}, true}, {"3 px", {{3, 0}}, false},
        {"no move", {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HWND about = Open();
        ASSERT_NE(about, nullptr);
        const RECT before = WindowRect(about);
        const POINT start = g_cursor;
        SendMessageW(about, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(200, 20));
        for (POINT move : c.moves) {
            g_cursor = {start.x + move.x, start.y + move.y};
            SendMessageW(about, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(200 + move.x, 20 + move.y));
        }
        SendMessageW(about, WM_LBUTTONUP, 0, MAKELPARAM(200, 20));
        PumpMessages();
        g_cursor = start;
        ASSERT_EQ(IsWindow(about) != FALSE, c.staysOpen);
        if (!c.staysOpen) continue;
        const RECT after = WindowRect(about);
        EXPECT_EQ(after.left - before.left, c.moves.back().x);
        EXPECT_EQ(after.top - before.top, c.moves.back().y);
        EXPECT_EQ(after.right - after.left, before.right - before.left);
        DestroyWindow(about);
    }
}

// Through the real SysLink: its markup carries the author page, and a click on the name opens it.
TEST_F(AboutWindowTest, ClickingTheAuthorsNameOpensTheAuthorPageAndKeepsTheCard) {
    HWND about = Open();
    ASSERT_NE(about, nullptr);
    HWND link = AboutStateOf(about)->link;
    RECT client{};
    GetClientRect(link, &client);
    POINT onName{-1, -1};
    for (int x = 0; x < client.right && onName.x < 0; ++x) {
        LHITTESTINFO hit{};
        hit.pt = {x, client.bottom / 2};
        if (SendMessageW(link, LM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit))) onName = hit.pt;
    }
    ASSERT_GE(onName.x, 0) << "the created-by line shows no link";
    SendMessageW(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(onName.x, onName.y));
    SendMessageW(link, WM_LBUTTONUP, 0, MAKELPARAM(onName.x, onName.y));
    PumpMessages();
    EXPECT_EQ(g_opened, std::vector<std::wstring>{std::wstring(L"open ") + AUTHOR_PAGE_URL});
    EXPECT_TRUE(IsWindow(about));
}

// GetGuiResources answers 0 under Wine, so each handle the card created is checked itself.
TEST_F(AboutWindowTest, FiftyCyclesOfEveryWayToCloseLeaveNoWindowFontPenBrushOrIcon) {
    const std::pair<UINT, WPARAM> closers[] = {{WM_KEYDOWN, VK_ESCAPE}, {WM_RBUTTONUP, 0}, {WM_KEYDOWN, VK_RETURN},
                                               {WM_MBUTTONUP, 0},       {WM_CLOSE, 0},     {WM_LBUTTONUP, 0},
                                               {WM_DESTROY, 0}};  // last: the owner is destroyed
    for (int cycle = 0; cycle < 50; ++cycle) {
        SCOPED_TRACE("cycle " + std::to_string(cycle));
        g_dpi = cycle % 2 ? 144 : 96;
        HWND about = Open();
        ASSERT_NE(about, nullptr);
        const AboutState* state = AboutStateOf(about);
        std::vector<HWND> windows = Children(about);
        windows.insert(windows.end(), {about, state->tooltip.get()});
        const HGDIOBJ objects[] = {state->titleFont.get(), state->bodyFont.get(),  state->italicFont.get(),
                                   state->smallFont.get(), state->borderPen.get(), state->separatorPen.get(),
                                   state->backgroundBrush.get()};
        const HICON icon = state->icon.get();
        // Wine's SysLink deletes the brush its colour message hands back: the card's own must survive painting.
        RedrawWindow(about, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        for (HWND window : windows) ASSERT_TRUE(IsWindow(window));
        for (HGDIOBJ object : objects) ASSERT_NE(GetObjectType(object), 0u);
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);

        const auto [message, wParam] = closers[cycle % std::size(closers)];
        if (message == WM_DESTROY) {
            DestroyWindow(owner);
            owner = NewOwner();
        } else {
            if (message == WM_LBUTTONUP) SendMessageW(about, WM_LBUTTONDOWN, MK_LBUTTON, 0);  // a plain click
            SendMessageW(about, message, wParam, 0);
        }
        PumpMessages();

        EXPECT_EQ(CurrentAboutWindow(), nullptr);
        for (HWND window : windows) EXPECT_FALSE(IsWindow(window));
        for (HGDIOBJ object : objects) EXPECT_EQ(GetObjectType(object), 0u);
        EXPECT_FALSE(GetIconInfo(icon, &info));
    }
}
