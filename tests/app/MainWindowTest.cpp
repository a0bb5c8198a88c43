// The main window's decisions, observed on a real hidden window: which subsystem each event reaches,
// the tray debounce, the icon's re-add after a shell restart and the shutdown.
#include <gtest/gtest.h>
#include <windows.h>
#include <wtsapi32.h>

#include <vector>

#include "app/Handles.h"
#include "app/MainWindow.h"
#include "app/Messages.h"
#include "app/TrayIcon.h"
#include "support/TestSupport.h"
#include "ui/DarkTheme.h"

namespace {

struct Post {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

struct NotifyCall {
    DWORD action;
    UINT version;
};

// What the window procedure handed on; reset for every test.
struct Recorder {
    int polls = 0;
    int resets = 0;
    std::vector<HWND> menus;
    std::vector<WORD> commands;
    std::vector<LPARAM> settingChanges;
    std::vector<Post> posts;
    std::vector<NotifyCall> notifies;
    DWORD tick = 1000;
    BOOL shellAccepts = TRUE;
};

Recorder g_seen;

void FakePoll() { ++g_seen.polls; }
void FakeReset() { ++g_seen.resets; }
void FakeShowMenu(HWND owner) { g_seen.menus.push_back(owner); }
void FakeCommand(HWND, WORD identifier) { g_seen.commands.push_back(identifier); }
void FakeSettingChange(HWND, LPARAM lParam) { g_seen.settingChanges.push_back(lParam); }
DWORD WINAPI FakeTick() { return g_seen.tick; }
BOOL WINAPI RecordPost(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    g_seen.posts.push_back({window, message, wParam, lParam});
    return TRUE;
}
BOOL WINAPI RecordNotify(DWORD action, PNOTIFYICONDATAW record) {
    g_seen.notifies.push_back({action, record->uVersion});
    return action == NIM_ADD ? g_seen.shellAccepts : TRUE;
}

// PostQuitMessage leaves a quit request for this thread; later tests must not see it.
bool TakeQuitMessage(WPARAM* exitCode) {
    MSG message;
    if (!PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) return false;
    *exitCode = message.wParam;
    return true;
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_seen = Recorder{};
        g_routes = {&FakePoll, &FakeReset, &FakeShowMenu, &FakeCommand, &FakeSettingChange};
        g_platform.getTickCount = &FakeTick;
        g_platform.postMessageW = &RecordPost;
        g_platform.shellNotifyIconW = &RecordNotify;
        ASSERT_TRUE(RegisterMainWindowClass(GetModuleHandleW(nullptr)));
        window = CreateMainWindow(GetModuleHandleW(nullptr));
        ASSERT_NE(window, nullptr);
        InitTrayIcon(window, GetModuleHandleW(nullptr));
        g_messages.taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
    }

    void TearDown() override {
        if (IsWindow(window)) DestroyWindow(window);
        WPARAM ignored = 0;
        TakeQuitMessage(&ignored);
        g_routes = savedRoutes;
        g_trayIcon = savedTray;
        g_messages = savedMessages;
    }

    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return SendMessageW(window, message, wParam, lParam);
    }
    // A tray event as the shell sends it with version 4: the event in the low word, the icon in the high.
    LRESULT TrayEvent(UINT event, DWORD tick) {
        g_seen.tick = tick;
        return Send(WM_TRAY_CALLBACK, 0, MAKELPARAM(event, 1));
    }
    size_t MenuRequests() const {
        size_t count = 0;
        for (const Post& post : g_seen.posts) {
            if (post.window == window && post.message == WM_APP_SHOWMENU && post.wParam == 0 && post.lParam == 0) ++count;
        }
        return count;
    }

    PlatformGuard platform;
    MainWindowRoutes savedRoutes = g_routes;
    TrayIcon savedTray = g_trayIcon;
    RegisteredMessages savedMessages = g_messages;
    HWND window = nullptr;
};

TEST_F(MainWindowTest, WindowIsHiddenToolWindowFoundByClassAndTitle) {
    EXPECT_EQ(FindWindowW(L"Hoverlatch.MainWindow", L"Hoverlatch"), window);
    EXPECT_FALSE(IsWindowVisible(window));
    LONG_PTR exStyle = GetWindowLongPtrW(window, GWL_EXSTYLE);
    EXPECT_TRUE(exStyle & WS_EX_NOACTIVATE);
    EXPECT_TRUE(exStyle & WS_EX_TOOLWINDOW);
    EXPECT_TRUE(GetWindowLongPtrW(window, GWL_STYLE) & WS_POPUP);
    EXPECT_EQ(GetParent(window), nullptr);  // top-level: broadcasts reach it
}

TEST_F(MainWindowTest, OnlyTimerOnePollsTheCorners) {
    struct Case { WPARAM timer; int polls; };
    for (Case c : {Case{1, 1}, {0, 0}, {2, 0}, {0x10001, 0}}) {
        g_seen.polls = 0;
        EXPECT_EQ(Send(WM_TIMER, c.timer), 0);
        EXPECT_EQ(g_seen.polls, c.polls) << "timer " << c.timer;
    }
}

TEST_F(MainWindowTest, MenuTrayEventsPostOneMenuRequestOthersNothing) {
    struct Case { UINT event; size_t requests; };
    const Case cases[] = {
        {WM_CONTEXTMENU, 1}, {WM_LBUTTONUP, 1}, {WM_RBUTTONUP, 1}, {NIN_SELECT, 1}, {NIN_KEYSELECT, 1},
        {WM_MOUSEMOVE, 0},   {WM_LBUTTONDOWN, 0}, {WM_RBUTTONDOWN, 0}, {WM_LBUTTONDBLCLK, 0}, {WM_MBUTTONUP, 0},
        {NIN_BALLOONSHOW, 0}, {NIN_POPUPOPEN, 0}, {NIN_POPUPCLOSE, 0},
    };
    for (const Case& c : cases) {
        g_seen.posts.clear();
        g_trayIcon.lastOpenTick = 0;
        EXPECT_EQ(TrayEvent(c.event, 5000), 0);
        EXPECT_EQ(MenuRequests(), c.requests) << "event 0x" << std::hex << c.event;
        EXPECT_EQ(g_seen.posts.size(), c.requests);
        EXPECT_TRUE(g_seen.menus.empty()) << "the menu never opens inside the tray callback";
    }
}

TEST_F(MainWindowTest, TrayDebounceLetsOneEventThroughPer400Ms) {
    struct Event { UINT event; DWORD tick; };
    struct Case { const char* name; std::vector<Event> events; size_t requests; };
    const Case cases[] = {
        {"left click: button up then select", {{WM_LBUTTONUP, 1000}, {NIN_SELECT, 1000}}, 1},
        {"right click: button up then context menu", {{WM_RBUTTONUP, 5000}, {WM_CONTEXTMENU, 5016}}, 1},
        {"399 ms apart", {{NIN_SELECT, 1000}, {NIN_SELECT, 1399}}, 1},
        {"400 ms apart", {{NIN_SELECT, 1000}, {NIN_SELECT, 1400}}, 2},
        {"ignored events do not extend the wait", {{NIN_SELECT, 1000}, {NIN_SELECT, 1300}, {NIN_SELECT, 1450}}, 2},
        {"tick wraps within 400 ms", {{NIN_SELECT, 0xFFFFFF00u}, {NIN_SELECT, 0x10}}, 1},
        {"tick wraps, 400 ms passed", {{NIN_SELECT, 0xFFFFFF00u}, {NIN_SELECT, 0x90}}, 2},
        {"keyboard selection twice", {{NIN_KEYSELECT, 7000}, {NIN_KEYSELECT, 7100}, {NIN_KEYSELECT, 7500}}, 2},
    };
    for (const Case& c : cases) {
        g_seen.posts.clear();
        g_trayIcon.lastOpenTick = 0;
        for (const Event& e : c.events) TrayEvent(e.event, e.tick);
        EXPECT_EQ(MenuRequests(), c.requests) << c.name;
    }
}

TEST_F(MainWindowTest, TrayClickOpensTheMenuOnceThroughThePostedRequest) {
    g_platform.postMessageW = platform.saved.postMessageW;
    TrayEvent(WM_LBUTTONUP, 2000);
    TrayEvent(NIN_SELECT, 2000);
    EXPECT_TRUE(g_seen.menus.empty());
    MSG message;
    while (PeekMessageW(&message, window, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    ASSERT_EQ(g_seen.menus.size(), 1u);
    EXPECT_EQ(g_seen.menus[0], window);
}

TEST_F(MainWindowTest, SecondInstanceRequestBypassesAndKeepsTheDebounce) {
    // Never opened from the tray: the request opens the menu and leaves "never" in place.
    g_seen.tick = 3000;
    EXPECT_EQ(Send(WM_APP_SHOWMENU), 0);
    EXPECT_EQ(g_seen.menus.size(), 1u);
    EXPECT_EQ(g_trayIcon.lastOpenTick, 0u);
    TrayEvent(NIN_SELECT, 3010);
    EXPECT_EQ(MenuRequests(), 1u);

    // Right after a tray opening the request still opens the menu, and the tray's wait runs from the click.
    g_seen.tick = 3100;
    Send(WM_APP_SHOWMENU);
    EXPECT_EQ(g_seen.menus.size(), 2u);
    EXPECT_EQ(g_trayIcon.lastOpenTick, 3010u);
    TrayEvent(NIN_SELECT, 3410);
    EXPECT_EQ(MenuRequests(), 2u);
    EXPECT_TRUE(g_seen.posts.size() == 2u) << "a request is answered in place, never reposted";
}

// The menu's modal loop runs inside the request; the second start must not wait for it to close.
HANDLE g_senderDone = nullptr;
bool g_senderDoneWhileMenuOpen = false;
void MenuWaitingForSender(HWND owner) {
    g_seen.menus.push_back(owner);
    g_senderDoneWhileMenuOpen = WaitForSingleObject(g_senderDone, 5000) == WAIT_OBJECT_0;
}

struct SecondStart {
    HWND window;
    LRESULT sent = 0;
};

DWORD WINAPI SendLikeASecondStart(void* parameter) {
    auto* start = static_cast<SecondStart*>(parameter);
    DWORD_PTR ignored = 0;
    start->sent = SendMessageTimeoutW(start->window, WM_APP_SHOWMENU, 0, 0, SMTO_ABORTIFHUNG, 3000, &ignored);
    SetEvent(g_senderDone);
    return 0;
}

TEST_F(MainWindowTest, SecondInstanceRequestIsAnsweredBeforeTheMenuOpens) {
    UniqueHandle senderDone(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    g_senderDone = senderDone.get();
    g_senderDoneWhileMenuOpen = false;
    g_routes.showTrayMenu = &MenuWaitingForSender;
    SecondStart start{window};
    UniqueHandle sender(CreateThread(nullptr, 0, &SendLikeASecondStart, &start, 0, nullptr));
    ASSERT_TRUE(sender);
    // Receive the cross-thread request the way the message loop would.
    while (MsgWaitForMultipleObjects(1, &g_senderDone, FALSE, 10000, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
    }
    WaitForSingleObject(sender.get(), 10000);
    EXPECT_EQ(g_seen.menus.size(), 1u);
    EXPECT_NE(start.sent, 0) << "the request timed out instead of being answered";
    EXPECT_TRUE(g_senderDoneWhileMenuOpen);
}

TEST_F(MainWindowTest, CommandsCarryTheirIdentifierOnly) {
    struct Case { WPARAM wParam; LPARAM lParam; WORD identifier; };
    for (Case c : {Case{MAKEWPARAM(1001, 0), 0, 1001}, {MAKEWPARAM(1020, 1), 0, 1020},
                   {MAKEWPARAM(1179, 0), 0x1234, 1179}}) {
        g_seen.commands.clear();
        EXPECT_EQ(Send(WM_COMMAND, c.wParam, c.lParam), 0);
        ASSERT_EQ(g_seen.commands.size(), 1u);
        EXPECT_EQ(g_seen.commands[0], c.identifier);
    }
}

TEST_F(MainWindowTest, EverySettingChangeReachesTheTheme) {
    static const wchar_t colorSet[] = L"ImmersiveColorSet";
    static const wchar_t other[] = L"intl";
    for (LPARAM lParam : {reinterpret_cast<LPARAM>(colorSet), reinterpret_cast<LPARAM>(other), LPARAM{0}}) {
        g_seen.settingChanges.clear();
        EXPECT_EQ(Send(WM_SETTINGCHANGE, 0, lParam), 0);
        ASSERT_EQ(g_seen.settingChanges.size(), 1u);
        EXPECT_EQ(g_seen.settingChanges[0], lParam);
    }
    EXPECT_EQ(g_seen.resets, 0);
}

// Through the real theme: a colour-set change refreshes the policy and the menu theme, every change
// re-applies the window attributes to this window.
int g_refreshes = 0;
int g_flushes = 0;
int g_attributesOnWindow = 0;
HWND g_themedWindow = nullptr;
void WINAPI CountRefresh() { ++g_refreshes; }
void WINAPI CountFlush() { ++g_flushes; }
BOOL WINAPI PreferLight() { return FALSE; }
HRESULT WINAPI CountAttribute(HWND window, DWORD, LPCVOID, DWORD) {
    if (window == g_themedWindow) ++g_attributesOnWindow;
    return S_OK;
}

TEST_F(MainWindowTest, SettingChangesReachTheRealThemeRefresh) {
    DarkModeEntryPoints savedTheme = g_darkMode;
    g_darkMode = {};
    g_darkMode.colorPolicyRefresh = &CountRefresh;
    g_darkMode.systemPrefersDark = &PreferLight;
    g_darkMode.menuThemeFlush = &CountFlush;
    g_platform.dwmSetWindowAttribute = &CountAttribute;
    g_themedWindow = window;
    g_routes.themeSettingChange = RealRoutes().themeSettingChange;

    static const wchar_t colorSet[] = L"ImmersiveColorSet";
    static const wchar_t colorSetOtherCase[] = L"immersivecolorset";
    static const wchar_t other[] = L"Environment";
    struct Case { const wchar_t* area; int refreshes; };
    for (Case c : {Case{colorSet, 1}, {colorSetOtherCase, 1}, {other, 0}, {nullptr, 0}}) {
        g_refreshes = g_flushes = g_attributesOnWindow = 0;
        EXPECT_EQ(Send(WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(c.area)), 0);
        EXPECT_EQ(g_refreshes, c.refreshes) << (c.area ? Utf8(c.area) : "null");
        EXPECT_EQ(g_flushes, c.refreshes);
        EXPECT_GT(g_attributesOnWindow, 0) << "the theme is re-applied for every change";
    }
    g_darkMode = savedTheme;
}

TEST_F(MainWindowTest, DisplayAndSessionChangesResetTheCornerDetector) {
    EXPECT_EQ(Send(WM_DISPLAYCHANGE, 32, MAKELPARAM(1280, 800)), 0);
    EXPECT_EQ(g_seen.resets, 1);

    struct Case { WPARAM code; int resets; };
    const Case cases[] = {
        {WTS_CONSOLE_CONNECT, 1}, {WTS_CONSOLE_DISCONNECT, 1}, {WTS_REMOTE_CONNECT, 1}, {WTS_REMOTE_DISCONNECT, 1},
        {WTS_SESSION_LOCK, 1},    {WTS_SESSION_UNLOCK, 1},     {WTS_SESSION_LOGON, 0},  {WTS_SESSION_LOGOFF, 0},
        {WTS_SESSION_REMOTE_CONTROL, 0}, {0, 0}, {11, 0},
    };
    for (Case c : cases) {
        g_seen.resets = 0;
        EXPECT_EQ(Send(WM_WTSSESSION_CHANGE, c.code, 1), 0);
        EXPECT_EQ(g_seen.resets, c.resets) << "session code " << c.code;
    }
    EXPECT_EQ(g_seen.polls, 0);
}

TEST_F(MainWindowTest, TrayRecordMatchesWhatTheShellIsGiven) {
    const NOTIFYICONDATAW& record = g_trayIcon.record;
    EXPECT_EQ(record.cbSize, 976u);
    EXPECT_EQ(record.hWnd, window);
    EXPECT_EQ(record.uID, 1u);
    EXPECT_EQ(record.uFlags, 0x87u);
    EXPECT_EQ(record.uCallbackMessage, 0x0401u);
    EXPECT_NE(record.hIcon, nullptr);
    EXPECT_STREQ(record.szTip, L"Hoverlatch");
    EXPECT_FALSE(g_trayIcon.added);
}

TEST_F(MainWindowTest, AddSetsVersionFourOnlyWhenTheShellAccepts) {
    EXPECT_TRUE(AddTrayIcon());
    ASSERT_EQ(g_seen.notifies.size(), 2u);
    EXPECT_EQ(g_seen.notifies[0].action, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(g_seen.notifies[1].action, static_cast<DWORD>(NIM_SETVERSION));
    EXPECT_EQ(g_seen.notifies[1].version, static_cast<UINT>(NOTIFYICON_VERSION_4));
    EXPECT_TRUE(g_trayIcon.added);

    InitTrayIcon(window, GetModuleHandleW(nullptr));
    g_seen.notifies.clear();
    g_seen.shellAccepts = FALSE;
    EXPECT_FALSE(AddTrayIcon());
    ASSERT_EQ(g_seen.notifies.size(), 1u) << "no retry and no version without an icon";
    EXPECT_FALSE(g_trayIcon.added);
}

TEST_F(MainWindowTest, TaskbarCreatedAddsTheIconAgain) {
    using Actions = std::vector<DWORD>;
    auto actions = [] {
        Actions seen;
        for (const NotifyCall& call : g_seen.notifies) seen.push_back(call.action);
        return seen;
    };
    const UINT taskbarCreated = g_messages.taskbarCreated;
    ASSERT_NE(taskbarCreated, 0u);

    // Shown before: the old entry is dropped, then added and versioned again.
    g_trayIcon.added = true;
    EXPECT_EQ(Send(taskbarCreated), DefWindowProcW(window, taskbarCreated, 0, 0));
    EXPECT_EQ(actions(), (Actions{NIM_DELETE, NIM_ADD, NIM_SETVERSION}));
    EXPECT_TRUE(g_trayIcon.added);

    // The new shell refuses the add: no icon, and the next announcement does not delete first.
    g_seen.notifies.clear();
    g_seen.shellAccepts = FALSE;
    Send(taskbarCreated);
    EXPECT_EQ(actions(), (Actions{NIM_DELETE, NIM_ADD}));
    EXPECT_FALSE(g_trayIcon.added);
    g_seen.notifies.clear();
    g_seen.shellAccepts = TRUE;
    Send(taskbarCreated);
    EXPECT_EQ(actions(), (Actions{NIM_ADD, NIM_SETVERSION}));
    EXPECT_TRUE(g_trayIcon.added);
}

TEST_F(MainWindowTest, FailedTaskbarCreatedRegistrationMatchesNoMessage) {
    const UINT realTaskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
    g_messages.taskbarCreated = 0;
    g_trayIcon.added = true;
    EXPECT_EQ(Send(WM_NULL), 0);
    EXPECT_EQ(Send(realTaskbarCreated), 0);
    EXPECT_TRUE(g_seen.notifies.empty());
    EXPECT_TRUE(g_trayIcon.added);
    EXPECT_EQ(g_seen.polls + g_seen.resets, 0);
}

TEST_F(MainWindowTest, DestroyRemovesTheIconAndEndsTheLoopWithZero) {
    struct Case { bool added; size_t deletes; };
    for (Case c : {Case{true, 1}, {false, 0}}) {
        if (!IsWindow(window)) {
            window = CreateMainWindow(GetModuleHandleW(nullptr));
            InitTrayIcon(window, GetModuleHandleW(nullptr));
        }
        g_seen.notifies.clear();
        g_trayIcon.added = c.added;
        SetTimer(window, kCornerPollTimerId, kCornerPollPeriodMs, nullptr);
        EXPECT_TRUE(DestroyWindow(window));
        size_t deletes = 0;
        for (const NotifyCall& call : g_seen.notifies) deletes += call.action == NIM_DELETE ? 1 : 0;
        EXPECT_EQ(deletes, c.deletes);
        EXPECT_EQ(g_seen.notifies.size(), c.deletes);
        EXPECT_FALSE(g_trayIcon.added);
        WPARAM exitCode = 99;
        EXPECT_TRUE(TakeQuitMessage(&exitCode));
        EXPECT_EQ(exitCode, 0u);
    }
}

TEST_F(MainWindowTest, CloseFromAnotherProgramDestroysTheWindow) {
    g_trayIcon.added = true;
    EXPECT_EQ(Send(WM_CLOSE), 0);
    EXPECT_FALSE(IsWindow(window));
    ASSERT_EQ(g_seen.notifies.size(), 1u);
    EXPECT_EQ(g_seen.notifies[0].action, static_cast<DWORD>(NIM_DELETE));
    WPARAM exitCode = 99;
    EXPECT_TRUE(TakeQuitMessage(&exitCode));
    EXPECT_EQ(exitCode, 0u);
}

}  // namespace
