#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/TestSupport.h"
#include "ui/AboutWindow.h"

namespace {

// The pointer and the monitor DPI as the About window sees them.
POINT g_cursor{640, 400};
UINT g_dpi = 96;

BOOL WINAPI FakeGetCursorPos(POINT* point) {
    *point = g_cursor;
    return TRUE;
}

HRESULT WINAPI FakeGetDpiForMonitor(HMONITOR, MONITOR_DPI_TYPE, UINT* x, UINT* y) {
    *x = g_dpi;
    *y = g_dpi;
    return S_OK;
}

struct ShellCall {
    HWND window;
    std::wstring verb;
    std::wstring file;
    bool parameters;
    bool directory;
    INT show;
};
std::vector<ShellCall> g_shellCalls;

HINSTANCE WINAPI FakeShellExecuteW(HWND window, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory,
                                   INT show) {
    g_shellCalls.push_back({window, verb ? verb : L"", file ? file : L"", parameters != nullptr, directory != nullptr,
                            show});
    return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(42));
}

const wchar_t* g_fakeModulePath = nullptr;
DWORD WINAPI FakeGetModuleFileNameW(HMODULE, LPWSTR buffer, DWORD size) {
    lstrcpynW(buffer, g_fakeModulePath, static_cast<int>(size));
    return static_cast<DWORD>(lstrlenW(buffer));
}

void PumpMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

RECT WindowRect(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

std::string Describe(const RECT& r) {
    char text[64] = {};
    snprintf(text, sizeof(text), "{%ld, %ld, %ld, %ld}", r.left, r.top, r.right, r.bottom);
    return text;
}

RECT WorkAreaAt(POINT point) {
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    GetMonitorInfoW(MonitorFromPoint(point, MONITOR_DEFAULTTONEAREST), &info);
    return info.rcWork;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

std::wstring TextOf(HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

std::vector<HWND> ChildrenInOrder(HWND parent) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) children.push_back(child);
    return children;
}

LONG FontHeight(HFONT font) {
    LOGFONTW described{};
    GetObjectW(font, sizeof(described), &described);
    return described.lfHeight;
}

// Every handle one open card owns, gathered so that its release can be checked after it closed.
struct CardHandles {
    HWND window = nullptr;
    std::vector<HWND> windows;       // the card, its controls and the tooltip
    std::vector<HGDIOBJ> gdiObjects; // fonts, pens, brush
    HICON icon = nullptr;
};

CardHandles HandlesOf(HWND window) {
    CardHandles handles;
    handles.window = window;
    handles.windows.push_back(window);
    for (HWND child : ChildrenInOrder(window)) handles.windows.push_back(child);
    const AboutState* state = AboutStateOf(window);
    if (!state) return handles;
    if (state->tooltip) handles.windows.push_back(state->tooltip.get());
    for (HGDIOBJ object : {static_cast<HGDIOBJ>(state->titleFont.get()), static_cast<HGDIOBJ>(state->bodyFont.get()),
                           static_cast<HGDIOBJ>(state->italicFont.get()), static_cast<HGDIOBJ>(state->smallFont.get()),
                           static_cast<HGDIOBJ>(state->borderPen.get()), static_cast<HGDIOBJ>(state->separatorPen.get()),
                           static_cast<HGDIOBJ>(state->backgroundBrush.get())}) {
        handles.gdiObjects.push_back(object);
    }
    handles.icon = state->icon.get();
    return handles;
}

bool IconAlive(HICON icon) {
    ICONINFO info{};
    if (!GetIconInfo(icon, &info)) return false;
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
    return true;
}

int IconWidth(HICON icon) {
    ICONINFO info{};
    if (!GetIconInfo(icon, &info)) return 0;
    BITMAP bitmap{};
    GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof(bitmap), &bitmap);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
    return bitmap.bmWidth;
}

LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND CreateOwnerWindow() {
    static bool registered = false;
    if (!registered) {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = &OwnerProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"Hoverlatch.Test.AboutOwner";
        registered = RegisterClassExW(&windowClass) != 0;
    }
    // Like the program's main window: a hidden top-level tool window.
    return CreateWindowExW(WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, L"Hoverlatch.Test.AboutOwner", L"owner", WS_POPUP, 0, 0,
                           1, 1, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

class AboutWindowTest : public ::testing::Test {
protected:
    PlatformGuard platform;
    HWND owner = nullptr;

    void SetUp() override {
        g_cursor = {640, 400};
        g_dpi = 96;
        g_shellCalls.clear();
        g_platform.getCursorPos = &FakeGetCursorPos;
        g_platform.getDpiForMonitor = &FakeGetDpiForMonitor;
        g_platform.shellExecuteW = &FakeShellExecuteW;
        owner = CreateOwnerWindow();
        ASSERT_NE(owner, nullptr);
    }

    void TearDown() override {
        if (CurrentAboutWindow()) DestroyWindow(CurrentAboutWindow());
        DestroyWindow(owner);
        PumpMessages();
    }

    HWND Open() {
        ShowAboutWindow(owner);
        PumpMessages();
        return CurrentAboutWindow();
    }

    // The press/move/release sequence a user makes, with the pointer where the window reads it.
    void Press(HWND window) { SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(200, 20)); }
    void MoveBy(HWND window, POINT start, int dx, int dy) {
        g_cursor = {start.x + dx, start.y + dy};
        SendMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(200 + dx, 20 + dy));
    }
    void Release(HWND window) {
        if (IsWindow(window)) SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(200, 20));
    }
};

struct DpiCase {
    UINT dpi;
    int width, height;
    LONG titleHeight, bodyHeight, smallHeight;
    int iconSize;
};
constexpr DpiCase kDpiCases[] = {
    {96, 500, 200, 28, 17, 15, 64},
    {144, 750, 300, 42, 26, 23, 96},
};

}  // namespace

TEST_F(AboutWindowTest, CardIsABorderlessLayeredToolWindowScaledForItsMonitor) {
    for (const DpiCase& c : kDpiCases) {
        SCOPED_TRACE("dpi " + std::to_string(c.dpi));
        g_dpi = c.dpi;
        HWND about = Open();
        ASSERT_NE(about, nullptr);

        EXPECT_EQ(ClassOf(about), L"Hoverlatch.AboutWindow");
        EXPECT_EQ(TextOf(about), L"About Hoverlatch");
        EXPECT_TRUE(IsWindowVisible(about));
        EXPECT_EQ(GetWindow(about, GW_OWNER), owner);
        const LONG_PTR style = GetWindowLongPtrW(about, GWL_STYLE);
        EXPECT_TRUE(style & WS_POPUP);
        EXPECT_FALSE(style & (WS_CAPTION | WS_BORDER | WS_THICKFRAME));
        const LONG_PTR exStyle = GetWindowLongPtrW(about, GWL_EXSTYLE);
        EXPECT_TRUE(exStyle & WS_EX_TOOLWINDOW);
        EXPECT_TRUE(exStyle & WS_EX_LAYERED);
        COLORREF key = 0;
        BYTE alpha = 0;
        DWORD flags = 0;
        ASSERT_TRUE(GetLayeredWindowAttributes(about, &key, &alpha, &flags));
        EXPECT_EQ(key, RGB(255, 0, 255));
        EXPECT_EQ(flags, static_cast<DWORD>(LWA_COLORKEY));

        RECT placed = WindowRect(about);
        EXPECT_EQ(placed.right - placed.left, c.width);
        EXPECT_EQ(placed.bottom - placed.top, c.height);
        EXPECT_EQ(Describe(placed), Describe(PlaceAboutWindow(g_cursor, WorkAreaAt(g_cursor), static_cast<int>(c.dpi))));
        RECT client{};
        GetClientRect(about, &client);
        EXPECT_EQ(client.right, c.width);
        EXPECT_EQ(client.bottom, c.height);

        const AboutState* state = AboutStateOf(about);
        ASSERT_NE(state, nullptr);
        EXPECT_EQ(state->dpi, static_cast<int>(c.dpi));
        EXPECT_EQ(FontHeight(state->titleFont.get()), c.titleHeight);
        EXPECT_EQ(FontHeight(state->bodyFont.get()), c.bodyHeight);
        EXPECT_EQ(FontHeight(state->italicFont.get()), c.bodyHeight);
        EXPECT_EQ(FontHeight(state->smallFont.get()), c.smallHeight);
        EXPECT_EQ(IconWidth(state->icon.get()), c.iconSize);

        DestroyWindow(about);
        EXPECT_EQ(CurrentAboutWindow(), nullptr);
    }
}

TEST_F(AboutWindowTest, ControlsComeInTheirOrderWithScaledLayoutFontsAndTexts) {
    for (const DpiCase& c : kDpiCases) {
        SCOPED_TRACE("dpi " + std::to_string(c.dpi));
        g_dpi = c.dpi;
        HWND about = Open();
        ASSERT_NE(about, nullptr);
        const AboutState* state = AboutStateOf(about);
        ASSERT_NE(state, nullptr);

        struct Expected {
            const wchar_t* className;
            int x, y, width, height;
            HFONT font;
            const wchar_t* text;  // null: not compared
            bool title;
        };
        const Expected expected[] = {
            {L"Static", 34, 28, 64, 64, nullptr, nullptr, false},
            {L"Static", 142, 30, 180, 36, state->titleFont.get(), L"Hoverlatch", true},
            {L"Static", 292, 39, 130, 25, state->bodyFont.get(), L"Version 1.03", false},
            {L"Static", 142, 62, 326, 28, state->italicFont.get(), L"Mouse-first window switching without Alt+Tab.",
             false},
            {L"Static", 142, 105, 326, 22, state->smallFont.get(), nullptr, false},
            {L"SysLink", 142, 127, 326, 22, state->smallFont.get(), nullptr, false},
            {L"Static", 142, 149, 326, 44, state->smallFont.get(),
             L"This is a personal project and is not affiliated with the company.", false},
        };
        std::vector<HWND> children = ChildrenInOrder(about);
        ASSERT_EQ(children.size(), std::size(expected));
        for (size_t i = 0; i < children.size(); ++i) {
            SCOPED_TRACE("control " + std::to_string(i + 1));
            const Expected& e = expected[i];
            HWND control = children[i];
            EXPECT_EQ(lstrcmpiW(ClassOf(control).c_str(), e.className), 0) << Utf8(ClassOf(control));
            RECT r = WindowRect(control);
            MapWindowPoints(nullptr, about, reinterpret_cast<POINT*>(&r), 2);
            auto scale = [&](int v) { return MulDiv(v, static_cast<int>(c.dpi), 96); };
            EXPECT_EQ(Describe(r), Describe(RECT{scale(e.x), scale(e.y), scale(e.x) + scale(e.width),
                                                 scale(e.y) + scale(e.height)}));
            EXPECT_TRUE(GetWindowLongPtrW(control, GWL_STYLE) & WS_VISIBLE);
            if (e.font) {
                EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), e.font);
            }
            if (e.text) {
                EXPECT_EQ(TextOf(control), e.text);
            }
            EXPECT_EQ(GetPropW(control, L"Hoverlatch.About.Title") != nullptr, e.title);
        }
        EXPECT_TRUE(GetWindowLongPtrW(children[0], GWL_STYLE) & SS_ICON);
        EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(children[0], STM_GETIMAGE, IMAGE_ICON, 0)), state->icon.get());
        EXPECT_NE(TextOf(children[4]).find(L"K.Vantor"), std::wstring::npos);
        EXPECT_EQ(state->link, children[5]);
        EXPECT_TRUE(GetWindowLongPtrW(children[5], GWL_STYLE) & WS_TABSTOP);
        DestroyWindow(about);
    }
}

// Mouse messages over the texts and the icon belong to the card, so a press there drags or closes it.
TEST_F(AboutWindowTest, StaticControlsLetTheMouseThroughToTheCard) {
    HWND about = Open();
    ASSERT_NE(about, nullptr);
    const AboutState* state = AboutStateOf(about);
    for (HWND control : ChildrenInOrder(about)) {
        if (control == state->link) continue;
        SCOPED_TRACE(Utf8(TextOf(control)));
        EXPECT_EQ(SendMessageW(control, WM_NCHITTEST, 0, 0), HTTRANSPARENT);
        // Everything else still reaches the control itself.
        EXPECT_EQ(TextOf(control).size(), static_cast<size_t>(SendMessageW(control, WM_GETTEXTLENGTH, 0, 0)));
    }
    EXPECT_NE(SendMessageW(state->link, WM_NCHITTEST, 0, 0), HTTRANSPARENT);
}

TEST_F(AboutWindowTest, CardKeepsTwelvePixelsFromEitherEdgeOfTheWorkArea) {
    const POINT centre{640, 400};
    const RECT workArea = WorkAreaAt(centre);
    struct EdgeCase {
        UINT dpi;
        POINT pointer;
        bool left;
    };
    const EdgeCase cases[] = {
        {96, {workArea.left, centre.y}, true},
        {96, {workArea.right - 1, centre.y}, false},
        {144, {workArea.left + 3, workArea.top}, true},
        {144, {workArea.right - 1, workArea.bottom - 1}, false},
    };
    for (const EdgeCase& c : cases) {
        SCOPED_TRACE("dpi " + std::to_string(c.dpi) + (c.left ? " left" : " right"));
        g_dpi = c.dpi;
        g_cursor = c.pointer;
        HWND about = Open();
        ASSERT_NE(about, nullptr);
        const int margin = MulDiv(12, static_cast<int>(c.dpi), 96);
        RECT placed = WindowRect(about);
        if (c.left) {
            EXPECT_EQ(placed.left, workArea.left + margin);
        } else {
            EXPECT_EQ(placed.right, workArea.right - margin);
        }
        EXPECT_EQ(placed.bottom, workArea.bottom - margin);
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
    ShowAboutWindow(owner);
    PumpMessages();

    EXPECT_EQ(CurrentAboutWindow(), about);
    EXPECT_TRUE(IsWindowVisible(about));
    EXPECT_EQ(Describe(WindowRect(about)), Describe(before));
    EXPECT_EQ(GetForegroundWindow(), about);
    int cards = 0;
    EnumWindows([](HWND window, LPARAM count) -> BOOL {
        if (ClassOf(window) == L"Hoverlatch.AboutWindow") ++*reinterpret_cast<int*>(count);
        return TRUE;
    }, reinterpret_cast<LPARAM>(&cards));
    EXPECT_EQ(cards, 1);
}

struct DragCase {
    const char* name;
    std::vector<POINT> moves;  // pointer offsets from the press, in order
    bool staysOpen;
    POINT finalOffset;         // window offset when it stays open
};

TEST_F(AboutWindowTest, PressMovingFourPixelsOrMoreDragsAndLessIsAClickThatCloses) {
    const DragCase cases[] = {
        {"10 px right", {{10, 0}}, true, {10, 0}},
        {"10 px down", {{0, 10}}, true, {0, 10}},
        {"10 px diagonal", {{6, 8}}, true, {6, 8}},
        {"exactly 4 px", {{-4, 0}}, true, {-4, 0}},
        {"steps that end near the start still drag", {{2, 0}, {10, 0}, {1, 1}}, true, {1, 1}},
        {"3 px is a click", {{3, 0}}, false, {}},
        {"2 px each way is a click", {{2, 2}, {-2, -2}, {0, 3}}, false, {}},
        {"no move at all", {}, false, {}},
    };
    for (const DragCase& c : cases) {
        SCOPED_TRACE(c.name);
        HWND about = Open();
        ASSERT_NE(about, nullptr);
        const RECT before = WindowRect(about);
        const POINT start = g_cursor;
        Press(about);
        EXPECT_EQ(GetCapture(), about);
        for (POINT move : c.moves) MoveBy(about, start, move.x, move.y);
        Release(about);
        PumpMessages();

        EXPECT_EQ(IsWindow(about) != FALSE, c.staysOpen);
        EXPECT_EQ(CurrentAboutWindow() != nullptr, c.staysOpen);
        if (c.staysOpen) {
            RECT after = WindowRect(about);
            EXPECT_EQ(after.left - before.left, c.finalOffset.x);
            EXPECT_EQ(after.top - before.top, c.finalOffset.y);
            EXPECT_EQ(after.right - after.left, before.right - before.left);
            EXPECT_NE(GetCapture(), about);
            DestroyWindow(about);
        }
        g_cursor = start;
    }
}

TEST_F(AboutWindowTest, MovesWithoutTheLeftButtonOrAfterLosingTheCaptureDoNotDrag) {
    HWND about = Open();
    ASSERT_NE(about, nullptr);
    const RECT before = WindowRect(about);
    const POINT start = g_cursor;

    g_cursor = {start.x + 20, start.y};
    SendMessageW(about, WM_MOUSEMOVE, 0, 0);  // hovering, no press
    EXPECT_EQ(Describe(WindowRect(about)), Describe(before));

    g_cursor = start;
    Press(about);
    g_cursor = {start.x + 20, start.y};
    SendMessageW(about, WM_MOUSEMOVE, 0, 0);  // button no longer down
    EXPECT_EQ(Describe(WindowRect(about)), Describe(before));

    SetCapture(owner);  // another window takes the capture: the press is over
    MoveBy(about, start, 20, 0);
    EXPECT_EQ(Describe(WindowRect(about)), Describe(before));
    Release(about);
    EXPECT_TRUE(IsWindow(about));  // a release without a press closes nothing
    ReleaseCapture();
}

TEST_F(AboutWindowTest, ClosesOnEscEnterRightOrMiddleClickAndCloseButNotOnOtherInput) {
    struct InputCase {
        const char* name;
        UINT message;
        WPARAM wParam;
        bool closes;
    };
    const InputCase cases[] = {
        {"Esc", WM_KEYDOWN, VK_ESCAPE, true},
        {"Enter", WM_KEYDOWN, VK_RETURN, true},
        {"right click", WM_RBUTTONUP, 0, true},
        {"middle click", WM_MBUTTONUP, 0, true},
        {"WM_CLOSE", WM_CLOSE, 0, true},
        {"Space", WM_KEYDOWN, VK_SPACE, false},
        {"letter", WM_KEYDOWN, 'A', false},
        {"right button down only", WM_RBUTTONDOWN, 0, false},
        {"losing activation", WM_ACTIVATE, WA_INACTIVE, false},
        {"losing focus", WM_KILLFOCUS, 0, false},
    };
    for (const InputCase& c : cases) {
        SCOPED_TRACE(c.name);
        HWND about = Open();
        ASSERT_NE(about, nullptr);
        SendMessageW(about, c.message, c.wParam, 0);
        PumpMessages();
        EXPECT_EQ(!IsWindow(about), c.closes);
        EXPECT_EQ(CurrentAboutWindow() == nullptr, c.closes);
        if (IsWindow(about)) DestroyWindow(about);
    }
}

TEST_F(AboutWindowTest, ActivatingAnotherWindowLeavesTheCardOpen) {
    HWND about = Open();
    ASSERT_NE(about, nullptr);
    HWND other = CreateWindowExW(0, L"Hoverlatch.Test.AboutOwner", L"other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50,
                                 200, 100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(other, nullptr);
    SetForegroundWindow(other);
    SetActiveWindow(other);
    PumpMessages();
    EXPECT_TRUE(IsWindow(about));
    EXPECT_TRUE(IsWindowVisible(about));
    DestroyWindow(other);
}

namespace {

NMLINK LinkNotification(HWND from, UINT code, const wchar_t* url) {
    NMLINK notification{};
    notification.hdr.hwndFrom = from;
    notification.hdr.idFrom = 0;
    notification.hdr.code = code;
    lstrcpynW(notification.item.szUrl, url, L_MAX_URL_LENGTH);
    return notification;
}

}  // namespace

TEST_F(AboutWindowTest, ActivatingTheLinkOpensTheAuthorPageAndKeepsTheCard) {
    HWND about = Open();
    ASSERT_NE(about, nullptr);
    HWND link = AboutStateOf(about)->link;
    ASSERT_NE(link, nullptr);

    struct NotifyCase {
        const char* name;
        HWND from;
        UINT code;
        const wchar_t* url;
        const wchar_t* opened;  // null: nothing opened
    };
    const NotifyCase cases[] = {
        {"click", link, static_cast<UINT>(NM_CLICK), L"https://kvantor.example/page", L"https://kvantor.example/page"},
        {"Enter on the link", link, static_cast<UINT>(NM_RETURN), AUTHOR_PAGE_URL, AUTHOR_PAGE_URL},
        {"no address falls back", link, static_cast<UINT>(NM_CLICK), L"", AUTHOR_PAGE_URL},
        {"another code", link, static_cast<UINT>(NM_SETFOCUS), AUTHOR_PAGE_URL, nullptr},
        {"another sender", owner, static_cast<UINT>(NM_CLICK), AUTHOR_PAGE_URL, nullptr},
    };
    for (const NotifyCase& c : cases) {
        SCOPED_TRACE(c.name);
        g_shellCalls.clear();
        NMLINK notification = LinkNotification(c.from, c.code, c.url);
        SendMessageW(about, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&notification));
        if (!c.opened) {
            EXPECT_TRUE(g_shellCalls.empty());
            continue;
        }
        ASSERT_EQ(g_shellCalls.size(), 1u);
        EXPECT_EQ(g_shellCalls[0].window, nullptr);
        EXPECT_EQ(g_shellCalls[0].verb, L"open");
        EXPECT_EQ(g_shellCalls[0].file, c.opened);
        EXPECT_FALSE(g_shellCalls[0].parameters);
        EXPECT_FALSE(g_shellCalls[0].directory);
        EXPECT_EQ(g_shellCalls[0].show, SW_SHOWNORMAL);
        // The release that follows the link's click does not close the card.
        Release(about);
        EXPECT_TRUE(IsWindow(about));
    }
    SendMessageW(about, WM_NOTIFY, 0, 0);  // no notification record at all
    EXPECT_TRUE(IsWindow(about));
}

// Through the real SysLink: its markup carries the author page, and a click on the name opens it.
TEST_F(AboutWindowTest, ClickingTheAuthorsNameInTheLinkOpensTheAuthorPage) {
    HWND about = Open();
    ASSERT_NE(about, nullptr);
    HWND link = AboutStateOf(about)->link;
    ASSERT_NE(link, nullptr);
    RECT client{};
    GetClientRect(link, &client);

    POINT onName{-1, -1};
    for (int x = 0; x < client.right && onName.x < 0; ++x) {
        LHITTESTINFO hit{};
        hit.pt = {x, client.bottom / 2};
        if (SendMessageW(link, LM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit))) onName = hit.pt;
    }
    ASSERT_GE(onName.x, 0) << "the created-by line shows no link";
    LITEM item{};
    item.mask = LIF_ITEMINDEX | LIF_URL;
    item.iLink = 0;
    ASSERT_TRUE(SendMessageW(link, LM_GETITEM, 0, reinterpret_cast<LPARAM>(&item)));
    EXPECT_STREQ(item.szUrl, AUTHOR_PAGE_URL);

    SendMessageW(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(onName.x, onName.y));
    SendMessageW(link, WM_LBUTTONUP, 0, MAKELPARAM(onName.x, onName.y));
    PumpMessages();

    ASSERT_EQ(g_shellCalls.size(), 1u);
    EXPECT_EQ(g_shellCalls[0].verb, L"open");
    EXPECT_EQ(g_shellCalls[0].file, AUTHOR_PAGE_URL);
    EXPECT_TRUE(IsWindow(about));
}

TEST_F(AboutWindowTest, WithoutAVersionResourceTheBuiltInTextsAreShown) {
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring noVersion = std::wstring(system) + L"\\no-such-program.exe";
    g_fakeModulePath = noVersion.c_str();
    g_platform.getModuleFileNameW = &FakeGetModuleFileNameW;

    HWND about = Open();
    ASSERT_NE(about, nullptr);
    std::vector<HWND> children = ChildrenInOrder(about);
    ASSERT_EQ(children.size(), 7u);
    EXPECT_EQ(TextOf(children[1]), L"Hoverlatch");
    EXPECT_EQ(TextOf(children[2]), L"Version 1.03");
    EXPECT_EQ(TextOf(children[3]), L"Mouse-first window switching without Alt+Tab.");
    EXPECT_NE(TextOf(children[4]).find(L"K.Vantor"), std::wstring::npos);
    EXPECT_EQ(TextOf(children[6]), L"This is a personal project and is not affiliated with the company.");
    LITEM item{};
    item.mask = LIF_ITEMINDEX | LIF_URL;
    EXPECT_TRUE(SendMessageW(children[5], LM_GETITEM, 0, reinterpret_cast<LPARAM>(&item)));
    EXPECT_STREQ(item.szUrl, AUTHOR_PAGE_URL);
}

// GetGuiResources answers 0 under Wine, so each handle the card created is checked itself.
TEST_F(AboutWindowTest, FiftyOpenCloseCyclesLeaveNoWindowFontPenBrushOrIcon) {
    const UINT closers[][2] = {{WM_KEYDOWN, VK_ESCAPE}, {WM_CLOSE, 0}, {WM_RBUTTONUP, 0}, {WM_MBUTTONUP, 0},
                               {WM_KEYDOWN, VK_RETURN}};
    for (int cycle = 0; cycle < 50; ++cycle) {
        SCOPED_TRACE("cycle " + std::to_string(cycle));
        g_dpi = cycle % 2 ? 144 : 96;
        HWND about = Open();
        ASSERT_NE(about, nullptr);
        CardHandles handles = HandlesOf(about);
        ASSERT_EQ(handles.windows.size(), 9u);  // card, seven controls, tooltip
        ASSERT_EQ(handles.gdiObjects.size(), 7u);
        for (size_t i = 0; i < handles.gdiObjects.size(); ++i) {
            ASSERT_NE(GetObjectType(handles.gdiObjects[i]), 0u) << "object " << i;
        }
        ASSERT_TRUE(IconAlive(handles.icon));

        if (cycle % 6 == 5) {
            Press(about);  // a plain click
            Release(about);
        } else {
            SendMessageW(about, closers[cycle % 5][0], closers[cycle % 5][1], 0);
        }
        PumpMessages();

        EXPECT_EQ(CurrentAboutWindow(), nullptr);
        for (HWND window : handles.windows) EXPECT_FALSE(IsWindow(window));
        for (HGDIOBJ object : handles.gdiObjects) EXPECT_EQ(GetObjectType(object), 0u);
        EXPECT_FALSE(IconAlive(handles.icon));
    }
}

TEST_F(AboutWindowTest, ClosingTheOwnerClosesTheCard) {
    HWND about = Open();
    ASSERT_NE(about, nullptr);
    CardHandles handles = HandlesOf(about);
    DestroyWindow(owner);
    owner = CreateOwnerWindow();
    EXPECT_EQ(CurrentAboutWindow(), nullptr);
    for (HWND window : handles.windows) EXPECT_FALSE(IsWindow(window));
    for (HGDIOBJ object : handles.gdiObjects) EXPECT_EQ(GetObjectType(object), 0u);
    EXPECT_FALSE(IconAlive(handles.icon));
}

// The link's colour message hands out the stock white brush: a SysLink that deletes the brush it is
// given (Wine's does) must not destroy the card's own, which the texts and the background use.
TEST_F(AboutWindowTest, CardBrushOutlivesEveryRepaintOfTheLink) {
    HWND about = Open();
    ASSERT_NE(about, nullptr);
    const AboutState* state = AboutStateOf(about);
    HBRUSH brush = state->backgroundBrush.get();
    for (int i = 0; i < 3; ++i) {
        RedrawWindow(about, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        PumpMessages();
    }
    EXPECT_EQ(GetObjectType(brush), static_cast<DWORD>(OBJ_BRUSH));
    HDC dc = GetDC(about);
    std::vector<HWND> children = ChildrenInOrder(about);
    EXPECT_EQ(SendMessageW(about, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(children[3])),
              reinterpret_cast<LRESULT>(brush));
    EXPECT_EQ(SendMessageW(about, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(state->link)),
              reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH)));
    ReleaseDC(about, dc);
}

// What the user sees: white card, light grey border, darker separator, dark title and grey texts.
TEST_F(AboutWindowTest, CardPaintsItsBorderSeparatorAndTextColours) {
    for (const DpiCase& c : kDpiCases) {
        SCOPED_TRACE("dpi " + std::to_string(c.dpi));
        g_dpi = c.dpi;
        HWND about = Open();
        ASSERT_NE(about, nullptr);
        RedrawWindow(about, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        PumpMessages();
        auto scale = [&](int v) { return MulDiv(v, static_cast<int>(c.dpi), 96); };

        HDC dc = GetDC(about);
        EXPECT_EQ(GetPixel(dc, 0, 0), RGB(218, 218, 218));
        EXPECT_EQ(GetPixel(dc, c.width - 1, c.height / 2), RGB(218, 218, 218));
        EXPECT_EQ(GetPixel(dc, c.width / 2, c.height - 1), RGB(218, 218, 218));
        EXPECT_EQ(GetPixel(dc, scale(300), scale(94)), RGB(185, 185, 185));
        EXPECT_EQ(GetPixel(dc, scale(300), scale(96)), RGB(255, 255, 255));
        EXPECT_EQ(GetPixel(dc, scale(20), scale(150)), RGB(255, 255, 255));
        ReleaseDC(about, dc);

        // The colour handler: title text darker than the rest, transparent text background.
        std::vector<HWND> children = ChildrenInOrder(about);
        HDC probe = CreateCompatibleDC(nullptr);
        SendMessageW(about, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(probe), reinterpret_cast<LPARAM>(children[1]));
        EXPECT_EQ(GetTextColor(probe), RGB(18, 18, 18));
        EXPECT_EQ(GetBkMode(probe), TRANSPARENT);
        SendMessageW(about, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(probe), reinterpret_cast<LPARAM>(children[3]));
        EXPECT_EQ(GetTextColor(probe), RGB(96, 96, 108));
        DeleteDC(probe);
        DestroyWindow(about);
    }
}
