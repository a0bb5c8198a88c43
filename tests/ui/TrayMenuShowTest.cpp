// Opening the tray menu: the reload from config.ini, the probes, the theme refresh, the tracking call and
// the messages posted back to the owner; and the real modal menu opened and dismissed many times.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "support/TestSupport.h"
#include "ui/DarkTheme.h"
#include "ui/TrayMenu.h"
#include "ui/TrayMenuTestSupport.h"

namespace {

// What the fakes saw, in order.
struct ShowLog {
    std::vector<std::string> events;
    POINT cursor = {640, 400};
    bool cursorFails = false;
    BOOL answer = 0;  // what the tracked menu returns
    HWND owner = nullptr;
    UINT flags = 0;
    int x = -1;
    int y = -1;
    HWND trackOwner = nullptr;
    bool trackParamsNull = false;
    std::vector<HMENU> tracked;
    std::vector<std::vector<std::wstring>> trackedLines;
    bool menuAliveAtTrack = false;
    bool menuAliveAtAnyPost = false;
    // Called from inside the tracking, as the modal loop would dispatch a second request.
    void (*duringTrack)(int depth) = nullptr;
    int depth = 0;
};

ShowLog& Log() {
    static ShowLog log;
    return log;
}

void Event(const std::string& text) {
    // ApplyWindowTheme may set several attributes; one entry stands for the run.
    if (!Log().events.empty() && Log().events.back() == text && text == "theme") return;
    Log().events.push_back(text);
}

BOOL WINAPI FakeCursor(POINT* point) {
    Event("cursor");
    if (Log().cursorFails) return FALSE;
    *point = Log().cursor;
    return TRUE;
}
void WINAPI FakeColorPolicyRefresh() { Event("refresh"); }
void WINAPI FakeMenuThemeFlush() { Event("flush"); }
HRESULT WINAPI FakeWindowAttribute(HWND window, DWORD, LPCVOID, DWORD) {
    Event(window == Log().owner ? "theme" : "theme on another window");
    return S_OK;
}
BOOL WINAPI FakeTrack(HMENU menu, UINT flags, int x, int y, HWND owner, LPTPMPARAMS params) {
    Event("track");
    ShowLog& log = Log();
    log.flags = flags;
    log.x = x;
    log.y = y;
    log.trackOwner = owner;
    log.trackParamsNull = params == nullptr;
    log.tracked.push_back(menu);
    log.trackedLines.push_back(MenuLines(menu));
    log.menuAliveAtTrack = IsMenu(menu);
    if (log.duringTrack) {
        ++log.depth;
        log.duringTrack(log.depth);
        --log.depth;
    }
    return log.depth == 0 ? log.answer : 1103;
}
BOOL WINAPI FakePost(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    for (HMENU menu : Log().tracked) Log().menuAliveAtAnyPost |= IsMenu(menu) != FALSE;
    std::string text = window == Log().owner ? "post " : "post elsewhere ";
    if (message == WM_NULL) text += "WM_NULL";
    else if (message == WM_COMMAND) text += "WM_COMMAND " + std::to_string(wParam) + " " + std::to_string(lParam);
    else text += std::to_string(message);
    Event(text);
    return TRUE;
}

struct DarkModeGuard {
    DarkModeEntryPoints saved = g_darkMode;
    ~DarkModeGuard() { g_darkMode = saved; }
};

HWND CreateHiddenOwner(WNDPROC procedure) {
    static const wchar_t* const kClass = L"HoverlatchTest.MenuOwner";
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kClass;
    UnregisterClassW(kClass, windowClass.hInstance);
    RegisterClassW(&windowClass);
    return CreateWindowExW(0, kClass, L"owner", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, windowClass.hInstance,
                           nullptr);
}

class TrayMenuShow : public testing::Test {
protected:
    void SetUp() override {
        Log() = ShowLog{};
        owner = CreateHiddenOwner(&DefWindowProcW);
        ASSERT_NE(nullptr, owner);
        Log().owner = owner;
        g_platform.getCursorPos = &FakeCursor;
        g_platform.dwmSetWindowAttribute = &FakeWindowAttribute;
        g_platform.trackPopupMenuEx = &FakeTrack;
        g_platform.postMessageW = &FakePost;
        g_darkMode.colorPolicyRefresh = &FakeColorPolicyRefresh;
        g_darkMode.menuThemeFlush = &FakeMenuThemeFlush;
        g_darkMode.systemPrefersDark = nullptr;
        g_darkMode.windowDarkAllow = nullptr;
    }
    void TearDown() override { DestroyWindow(owner); }

    void WriteConfig(const std::vector<std::string>& lines) { ASSERT_TRUE(appData.WriteConfig(RenderedIni(lines))); }

    GlobalsGuard globals;
    DarkModeGuard darkMode;
    ScratchAppData appData;  // also restores the platform record
    HWND owner = nullptr;
};

const std::vector<std::string> kRectangleTopRight = {
    "[Trigger]", "TopLeft=Disabled", "TopRight=FramwickRegion", "BottomLeft=Disabled", "BottomRight=Disabled",
    "EdgeZonePx=12", "CornerDwellMs=350", "[UI]", "Language=en", "[General]", "RunAtStartup=0",
};

TEST_F(TrayMenuShow, ThemeThenTrackAtThePointerThenPostsTheChoiceAfterTheMenuIsGone) {
    WriteConfig(kRectangleTopRight);
    appData.InstallCaptureTool();
    Log().answer = 1124;
    ShowTrayMenu(owner);

    const std::vector<std::string> expected = {
        "cursor", "refresh", "theme", "flush", "track", "post WM_NULL", "post WM_COMMAND 1124 0",
    };
    EXPECT_EQ(expected, Log().events);
    EXPECT_EQ(0x1A3u, Log().flags);
    EXPECT_EQ(640, Log().x);
    EXPECT_EQ(400, Log().y);
    EXPECT_EQ(owner, Log().trackOwner);
    EXPECT_TRUE(Log().trackParamsNull);
    EXPECT_TRUE(Log().menuAliveAtTrack);
    EXPECT_FALSE(Log().menuAliveAtAnyPost) << "the menu is destroyed before anything is posted";
    ASSERT_EQ(1u, Log().trackedLines.size());
    const std::vector<std::wstring>& lines = Log().trackedLines[0];
    ASSERT_GT(lines.size(), 30u);
    EXPECT_EQ(L"> Top right (FramwickCapture)", lines[12]);
    EXPECT_EQ(L"    (*) Rectangle #1124", lines[16]);
}

TEST_F(TrayMenuShow, DismissedMenuPostsOnlyTheNullMessage) {
    WriteConfig(kRectangleTopRight);
    Log().answer = 0;
    ShowTrayMenu(owner);
    ASSERT_FALSE(Log().events.empty());
    EXPECT_EQ("post WM_NULL", Log().events.back());
    EXPECT_EQ(1, std::count(Log().events.begin(), Log().events.end(), "post WM_NULL"));
    for (const std::string& event : Log().events) EXPECT_EQ(std::string::npos, event.find("WM_COMMAND"));
}

TEST_F(TrayMenuShow, PointerThatCannotBeReadOpensTheMenuAtTheOrigin) {
    WriteConfig(kRectangleTopRight);
    Log().cursorFails = true;
    ShowTrayMenu(owner);
    EXPECT_EQ(0, Log().x);
    EXPECT_EQ(0, Log().y);
}

HMENU WINAPI NoMenu() { return nullptr; }

TEST_F(TrayMenuShow, NoTopLevelMenuMeansNothingIsShownOrPosted) {
    WriteConfig(kRectangleTopRight);
    g_platform.createPopupMenu = &NoMenu;
    Log().answer = 1001;
    ShowTrayMenu(owner);
    for (const std::string& event : Log().events) {
        EXPECT_NE("track", event);
        EXPECT_EQ(std::string::npos, event.find("post")) << event;
    }
}

TEST_F(TrayMenuShow, HandEditsOfTheFileShowAtTheNextOpening) {
    WriteConfig({"[Trigger]", "TopLeft=TaskView", "EdgeZonePx=13", "[UI]", "Language=ja"});
    ShowTrayMenu(owner);
    WriteConfig({"[Trigger]", "TopLeft=TaskView", "EdgeZonePx=20", "CornerDwellMs=1000", "[UI]", "Language=ko",
                 "[General]", "RunAtStartup=1"});
    ShowTrayMenu(owner);
    ASSERT_EQ(2u, Log().trackedLines.size());

    const std::vector<std::wstring>& japanese = Log().trackedLines[0];
    EXPECT_EQ(L"> \u5DE6\u4E0A\uFF08\u30BF\u30B9\u30AF\u30D3\u30E5\u30FC\uFF09", japanese[1]);
    EXPECT_EQ(L"> \u691C\u51FA\u307E\u3067\u306E\u7BC4\u56F2 (13 px)", japanese[14]);
    EXPECT_EQ(L"  (*) 4 px #1020", japanese[15]);

    const std::vector<std::wstring>& korean = Log().trackedLines[1];
    EXPECT_EQ(L"> \uC88C\uC0C1\uB2E8 (\uC791\uC5C5 \uBCF4\uAE30)", korean[1]);
    EXPECT_EQ(L"> \uAC10\uC9C0\uAE4C\uC9C0\uC758 \uBC94\uC704 (20 px)", korean[14]);
    EXPECT_EQ(L"  (*) 20 px #1028", korean[23]);
    EXPECT_EQ(L"  (*) 1000 ms #1039", korean[35]);
    EXPECT_EQ(0u, korean[37].rfind(L"[x] ", 0)) << "run at startup is checked";
    EXPECT_EQ(1000, g_settings.cornerDwellMs);
}

bool HasLine(const std::vector<std::wstring>& lines, const std::wstring& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

TEST_F(TrayMenuShow, ProbesAreMadeAfreshAtEveryOpening) {
    WriteConfig(kRectangleTopRight);
    ShowTrayMenu(owner);
    appData.InstallLoftmoor();
    appData.InstallNotchling();
    appData.InstallCaptureTool();
    ShowTrayMenu(owner);
    DeleteFileW(appData.File(L"quenby\\Framwick\\capture-exe.txt").c_str());
    ShowTrayMenu(owner);
    ASSERT_EQ(3u, Log().trackedLines.size());

    const std::vector<std::wstring>& bare = Log().trackedLines[0];
    EXPECT_FALSE(HasLine(bare, L"  Loftmoor #1101"));
    EXPECT_FALSE(HasLine(bare, L"  > FramwickCapture"));
    EXPECT_TRUE(HasLine(bare, L"> Top right (Disabled)")) << "Rectangle without the tool shows as disabled";

    const std::vector<std::wstring>& full = Log().trackedLines[1];
    EXPECT_TRUE(HasLine(full, L"  Loftmoor #1101"));
    EXPECT_TRUE(HasLine(full, L"  Notchling #1162"));
    EXPECT_TRUE(HasLine(full, L"  > FramwickCapture"));
    EXPECT_TRUE(HasLine(full, L"> Top right (FramwickCapture)"));

    const std::vector<std::wstring>& noTool = Log().trackedLines[2];
    EXPECT_TRUE(HasLine(noTool, L"  Loftmoor #1101"));
    EXPECT_FALSE(HasLine(noTool, L"  > FramwickCapture"));
}

// A second request dispatched by the modal loop opens a second menu inside the first (TPM_RECURSE);
// each menu is torn down by its own call and each posts its own messages.
TEST_F(TrayMenuShow, ARequestWhileOpenNestsASecondMenu) {
    WriteConfig(kRectangleTopRight);
    Log().answer = 1029;
    Log().duringTrack = [](int depth) {
        if (depth == 1) ShowTrayMenu(Log().owner);
    };
    ShowTrayMenu(owner);
    ASSERT_EQ(2u, Log().tracked.size());
    EXPECT_NE(Log().tracked[0], Log().tracked[1]);
    EXPECT_FALSE(IsMenu(Log().tracked[0]));
    EXPECT_FALSE(IsMenu(Log().tracked[1]));
    std::vector<std::string> posts;
    for (const std::string& event : Log().events) {
        if (event.rfind("post", 0) == 0) posts.push_back(event);
    }
    const std::vector<std::string> expected = {"post WM_NULL", "post WM_COMMAND 1103 0", "post WM_NULL",
                                               "post WM_COMMAND 1029 0"};
    EXPECT_EQ(expected, posts);
}

// ---- The real modal menu ----------------------------------------------------------------------------

struct RealMenuRun {
    std::vector<HMENU> created;
    int shown = 0;       // openings on which a visible popup window was seen
    int forced = 0;      // openings closed without the popup window ever being seen
    int ticks = 0;
};

RealMenuRun& MenuRun() {
    static RealMenuRun run;
    return run;
}

HMENU WINAPI RecordingCreatePopupMenu() {
    HMENU menu = CreatePopupMenu();
    MenuRun().created.push_back(menu);
    return menu;
}

constexpr UINT_PTR kCloseTimer = 7;
constexpr UINT kCloseTimerMs = 10;     // how often the owner looks for the open menu
constexpr int kGiveUpTicks = 300;      // ~3 s without a visible menu: close it anyway, and count it

LRESULT CALLBACK ClosingOwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER && wParam == kCloseTimer) {
        HWND popup = FindWindowW(L"#32768", nullptr);
        if (popup && IsWindowVisible(popup)) {
            ++MenuRun().shown;
            MenuRun().ticks = 0;
            EndMenu();
        } else if (++MenuRun().ticks >= kGiveUpTicks) {
            ++MenuRun().forced;
            MenuRun().ticks = 0;
            EndMenu();
        }
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

TEST(TrayMenuRealMenu, TwoHundredOpeningsAndDismissalsLeaveNoMenuAlive) {
    constexpr int kOpenings = 200;
    GlobalsGuard globals;
    DarkModeGuard darkMode;
    ScratchAppData appData;
    appData.WriteConfig(RenderedIni(kRectangleTopRight));
    appData.InstallLoftmoor();
    appData.InstallNotchling();
    appData.InstallCaptureTool();
    MenuRun() = RealMenuRun{};
    g_platform.createPopupMenu = &RecordingCreatePopupMenu;

    HWND owner = CreateHiddenOwner(&ClosingOwnerProc);
    ASSERT_NE(nullptr, owner);
    SetTimer(owner, kCloseTimer, kCloseTimerMs, nullptr);
    size_t alive = 0;
    size_t perOpening = 0;
    for (int i = 0; i < kOpenings; ++i) {
        const size_t before = MenuRun().created.size();
        ShowTrayMenu(owner);
        if (i == 0) perOpening = MenuRun().created.size() - before;
        for (size_t m = before; m < MenuRun().created.size(); ++m) alive += IsMenu(MenuRun().created[m]) ? 1 : 0;
        MSG message;
        while (PeekMessageW(&message, owner, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    }
    KillTimer(owner, kCloseTimer);
    DestroyWindow(owner);

    // Top level, four corners, four capture submenus, zone and dwell.
    EXPECT_EQ(11u, perOpening);
    EXPECT_EQ(kOpenings * perOpening, MenuRun().created.size());
    EXPECT_EQ(0u, alive) << "menus left alive after their opening";
    EXPECT_EQ(kOpenings, MenuRun().shown) << MenuRun().forced << " openings never showed a visible menu";
    printf("[ figures  ] %d openings, %zu menus built, %zu alive afterwards\n", kOpenings, MenuRun().created.size(),
           alive);
}

}  // namespace
