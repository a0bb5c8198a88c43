#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <array>
#include <string>
#include <vector>

#include "support/TestSupport.h"
#include "ui/AboutWindow.h"

namespace {

POINT g_cursor;  // the pointer and the monitor DPI as the card reads them
UINT g_dpi;
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

using Box = std::array<LONG, 4>;  // left, top, width, height of a window
Box BoxOf(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

// Like the program's main window: a hidden top-level tool window.
HWND NewOwner() {
    return CreateWindowExW(WS_EX_TOOLWINDOW, L"Static", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
}

struct AboutWindowTest : ::testing::Test {
    PlatformGuard platform;
    HWND owner = NewOwner();
    void SetUp() override {
        g_opened.clear();
        g_cursor = {640, 400};
        g_dpi = 96;
        g_platform.getCursorPos = &FakeGetCursorPos;
        g_platform.getDpiForMonitor = &FakeGetDpiForMonitor;
        g_platform.shellExecuteW = &FakeShellExecuteW;
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

// Centred under the pointer, 12 px (scaled) inside the work area's bottom; a second About only brings it forward.
TEST_F(AboutWindowTest, SizeFontAndPlacementFollowTheMonitorDpiAndStayInsideTheWorkArea) {
    MONITORINFO monitor{sizeof(monitor), {}, {}, 0};
    GetMonitorInfoW(MonitorFromPoint(g_cursor, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT work = monitor.rcWork;
    struct Case { UINT dpi; LONG pointerX; Box placed; LONG titleHeight; };
    const Case cases[] = {
        {96, 640, {390, work.bottom - 12 - 200, 500, 200}, 28},
        {144, work.left + 3, {work.left + 18, work.bottom - 18 - 300, 750, 300}, 42},
        {144, work.right - 1, {work.right - 18 - 750, work.bottom - 18 - 300, 750, 300}, 42},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.dpi) + " dpi, pointer x " + std::to_string(c.pointerX));
        g_dpi = c.dpi;
        g_cursor = {c.pointerX, work.top};  // the pointer's height does not matter
        HWND about = Open();
        ASSERT_NE(about, nullptr);
        EXPECT_EQ(BoxOf(about), c.placed);
        LOGFONTW title{};
        GetObjectW(AboutStateOf(about)->titleFont.get(), sizeof(title), &title);
        EXPECT_EQ(title.lfHeight, c.titleHeight);

        SetForegroundWindow(owner);
        ShowWindow(about, SW_HIDE);
        g_cursor = {c.pointerX < (work.left + work.right) / 2 ? work.right - 1 : work.left, work.top};
        EXPECT_EQ(Open(), about);
        EXPECT_TRUE(IsWindowVisible(about) && GetForegroundWindow() == about) << "not brought forward";
        EXPECT_EQ(BoxOf(about), c.placed);
        EXPECT_EQ(FindWindowExW(nullptr, about, L"Hoverlatch.AboutWindow", nullptr), nullptr);  // the only card
        DestroyWindow(about);
    }
}

// A press moved 4 px or more drags the card; less is a click, which closes it.
TEST_F(AboutWindowTest, PressMovedFourPixelsOrMoreDragsAndLessClosesTheCard) {
    struct Case { std::vector<POINT> moves; bool staysOpen; };  // moves: offsets from the press
    const Case cases[] = {{{{10, 0}}, true}, {{{-4, 0}}, true}, {{{10, 0}, {1, 1}}, true}, {{{3, 0}}, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "last move " << c.moves.back().x << "," << c.moves.back().y);
        HWND about = Open();
        ASSERT_NE(about, nullptr);
        const Box before = BoxOf(about);
        const POINT start = g_cursor, last = c.moves.back();
        SendMessageW(about, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(200, 20));
        for (POINT move : c.moves) {
            g_cursor = {start.x + move.x, start.y + move.y};
            SendMessageW(about, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(200 + move.x, 20 + move.y));
        }
        SendMessageW(about, WM_LBUTTONUP, 0, MAKELPARAM(200, 20));
        PumpMessages();
        ASSERT_EQ(IsWindow(about) != FALSE, c.staysOpen);
        if (!c.staysOpen) continue;
        EXPECT_EQ(BoxOf(about), (Box{before[0] + last.x, before[1] + last.y, before[2], before[3]}));
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
    LHITTESTINFO hit{};
    for (hit.pt = {0, client.bottom / 2}; hit.pt.x < client.right; ++hit.pt.x) {
        if (SendMessageW(link, LM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit))) break;
    }
    ASSERT_LT(hit.pt.x, client.right) << "the created-by line shows no link";
    SendMessageW(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(hit.pt.x, hit.pt.y));
    SendMessageW(link, WM_LBUTTONUP, 0, MAKELPARAM(hit.pt.x, hit.pt.y));
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
        std::vector<HWND> windows{about, state->tooltip.get()};
        for (HWND c = GetWindow(about, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) windows.push_back(c);
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
