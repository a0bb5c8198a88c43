// Opening the tray menu: the reload from config.ini, the tracking at the pointer and the messages posted
// back; and the real modal menu opened and dismissed many times.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "support/TestSupport.h"
#include "ui/TrayMenu.h"
#include "ui/TrayMenuTestSupport.h"

namespace {

using Lines = std::vector<std::wstring>;

struct ShowLog {
    std::vector<std::string> events;
    HWND owner = nullptr;
    BOOL answer = 0;
    std::vector<HMENU> tracked;
    std::vector<Lines> trackedLines;
} g_log;

BOOL WINAPI FakeTrack(HMENU menu, UINT flags, int x, int y, HWND owner, LPTPMPARAMS params) {
    char text[96];
    snprintf(text, sizeof(text), "track 0x%X at %d,%d%s", flags, x, y, owner == g_log.owner && !params ? "" : " ?");
    g_log.events.push_back(text);
    g_log.tracked.push_back(menu);
    g_log.trackedLines.push_back(MenuLines(menu));
    return g_log.answer;
}
BOOL WINAPI FakePost(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const bool alive = std::any_of(g_log.tracked.begin(), g_log.tracked.end(), [](HMENU m) { return IsMenu(m); });
    char text[96];
    const char* name = message == WM_NULL ? "WM_NULL" : message == WM_COMMAND ? "WM_COMMAND" : "?";
    snprintf(text, sizeof(text), "post %s %u %d%s%s", name, static_cast<unsigned>(wParam), static_cast<int>(lParam),
             window == g_log.owner ? "" : " elsewhere", alive ? " while the menu lives" : "");
    g_log.events.push_back(text);
    return TRUE;
}

HWND CreateOwner() {
    return CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
}

// Two openings with hand edits and installs in between, then one without a top-level menu.
TEST(TrayMenuShow, TracksAtThePointerPostsAfterTheMenuIsGoneAndShowsEditsAtTheNextOpening) {
    GlobalsGuard globals;
    ScratchAppData appData;
    HWND owner = CreateOwner();
    g_log = ShowLog{};
    g_log.owner = owner;
    g_platform.getCursorPos = [](POINT* point) -> BOOL { *point = {640, 400}; return TRUE; };
    g_platform.trackPopupMenuEx = &FakeTrack;
    g_platform.postMessageW = &FakePost;
    ASSERT_TRUE(appData.WriteConfig(RenderedIni(
        {"[Trigger]", "TopLeft=TaskView", "TopRight=FramwickRegion", "EdgeZonePx=13", "[UI]", "Language=ja"})));
    ShowTrayMenu(owner);  // dismissed
    appData.InstallLoftmoor();
    appData.InstallCaptureTool();
    ASSERT_TRUE(appData.WriteConfig(RenderedIni({"[Trigger]", "TopLeft=TaskView", "TopRight=FramwickRegion",
                                                 "EdgeZonePx=20", "[UI]", "Language=ko", "[General]",
                                                 "RunAtStartup=1"})));
    g_log.answer = 1124;
    ShowTrayMenu(owner);
    g_platform.createPopupMenu = []() -> HMENU { return nullptr; };
    ShowTrayMenu(owner);  // nothing shown, nothing posted
    DestroyWindow(owner);
    const std::string track = "track 0x1A3 at 640,400";
    const std::vector<std::string> events = {track, "post WM_NULL 0 0", track, "post WM_NULL 0 0",
                                             "post WM_COMMAND 1124 0"};
    ASSERT_EQ(events, g_log.events);
    const std::tuple<int, const wchar_t*, bool> expected[] = {  // opening, line, present
        {0, L"> \u5DE6\u4E0A\uFF08\u30BF\u30B9\u30AF\u30D3\u30E5\u30FC\uFF09", true},
        {0, L"> \u53F3\u4E0A\uFF08\u7121\u52B9\uFF09", true},  // Rectangle without the tool
        {0, L"> \u691C\u51FA\u307E\u3067\u306E\u7BC4\u56F2 (13 px)", true}, {0, L"  Loftmoor #1101", false},
        {1, L"> \uC88C\uC0C1\uB2E8 (\uC791\uC5C5 \uBCF4\uAE30)", true},
        {1, L"> \uC6B0\uC0C1\uB2E8 (FramwickCapture)", true},
        {1, L"> \uAC10\uC9C0\uAE4C\uC9C0\uC758 \uBC94\uC704 (20 px)", true}, {1, L"  Loftmoor #1101", true},
        {1, L"[x] Windows \uC2DC\uC791 \uC2DC \uC2E4\uD589 #1003", true}};
    for (const auto& [opening, line, present] : expected) {
        const Lines& lines = g_log.trackedLines[opening];
        EXPECT_EQ(present, std::find(lines.begin(), lines.end(), line) != lines.end()) << opening << Utf8(line);
    }
}

// ---- The real modal menu, closed by EndMenu from a timer once it shows --------------------------------

std::vector<HMENU> g_realMenus;
int g_shownMenus = 0;
void CALLBACK CloseShownMenu(HWND, UINT, UINT_PTR, DWORD) {
    constexpr int kGiveUpTicks = 300;  // ~3 s without a visible menu: close it anyway (and count it as unseen)
    static int ticks = 0;
    HWND popup = FindWindowW(L"#32768", nullptr);
    const bool shown = popup && IsWindowVisible(popup);
    if (!shown && ++ticks < kGiveUpTicks) return;
    g_shownMenus += shown ? 1 : 0;
    ticks = 0;
    EndMenu();
}

TEST(TrayMenuRealMenu, TwoHundredOpeningsAndDismissalsLeaveNoMenuAlive) {
    constexpr int kOpenings = 200;
    constexpr UINT kCloseTimerMs = 10;  // how often the timer looks for the open menu
    GlobalsGuard globals;
    ScratchAppData appData;
    appData.InstallLoftmoor();
    appData.InstallNotchling();
    appData.InstallCaptureTool();
    g_realMenus.clear();
    g_shownMenus = 0;
    g_platform.createPopupMenu = []() { return g_realMenus.emplace_back(CreatePopupMenu()); };
    HWND owner = CreateOwner();
    SetTimer(owner, 1, kCloseTimerMs, &CloseShownMenu);
    for (int i = 0; i < kOpenings; ++i) {
        ShowTrayMenu(owner);
        MSG message;
        while (PeekMessageW(&message, owner, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    }
    KillTimer(owner, 1);
    DestroyWindow(owner);
    const long alive = std::count_if(g_realMenus.begin(), g_realMenus.end(), [](HMENU m) { return IsMenu(m); });
    // Top level, four corners, four capture menus, zone and dwell per opening.
    EXPECT_EQ(kOpenings * 11u, g_realMenus.size());
    EXPECT_EQ(0, alive) << "menus left alive";
    EXPECT_EQ(kOpenings, g_shownMenus) << "openings that never showed a visible menu";
    printf("[ figures  ] %d openings, %zu menus built, %ld alive afterwards\n", kOpenings, g_realMenus.size(), alive);
}

}  // namespace
