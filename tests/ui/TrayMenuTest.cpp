// The tray menu: the real menu read back item by item, its commands through config.ini, its openings.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "settings/SettingsStore.h"
#include "startup/FakeRuntime.h"
#include "support/TestSupport.h"
#include "ui/TrayMenu.h"

namespace {

using Lines = std::vector<std::wstring>;
using A = CornerAction;

// One line per item, submenus indented: "[disabled] Hot corners #0", "> Top left (Task View)", "---",
// "  (*) Task View #1100" (radio mark), "[x] Run at Windows startup #1003".
Lines MenuLines(HMENU menu, const std::wstring& indent = L"") {
    Lines lines;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[512] = {};
        MENUITEMINFOW info = {};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = 512;
        if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info)) continue;  // a lost item fails the compare
        const wchar_t* state = (info.fState & MF_GRAYED)     ? L"[grayed] "
                               : (info.fState & MF_DISABLED) ? L"[disabled] "
                                                             : L"";
        const wchar_t* mark = !(info.fState & MFS_CHECKED) ? L"" : (info.fType & MFT_RADIOCHECK) ? L"(*) " : L"[x] ";
        if (info.fType & MFT_SEPARATOR) {
            lines.push_back(indent + L"---");
        } else if (info.hSubMenu) {
            lines.push_back(indent + L"> " + text);
            const Lines below = MenuLines(info.hSubMenu, indent + L"  ");
            lines.insert(lines.end(), below.begin(), below.end());
        } else {
            lines.push_back(indent + state + mark + text + L" #" + std::to_wstring(info.wID));
        }
    }
    return lines;
}

// Every shell folder is one scratch folder: config.ini, the companions and the capture tool live there.
std::wstring g_scratchAppData;
struct ScratchAppData {
    ScratchAppData() {
        g_scratchAppData = scratch.path().substr(0, scratch.path().size() - 1);  // no trailing backslash
        g_platform.shGetFolderPathW = [](HWND, int, HANDLE, DWORD, LPWSTR path) -> HRESULT {
            lstrcpynW(path, g_scratchAppData.c_str(), MAX_PATH);
            return S_OK;
        };
    }
    bool Write(const std::wstring& relative, const std::string& bytes) const {
        const std::wstring path = scratch / relative;
        SHCreateDirectoryExW(nullptr, path.substr(0, path.rfind(L'\\')).c_str(), nullptr);
        return WriteBytes(path, bytes);
    }
    std::string Config() const { return ReadBytes(scratch / L"quenby\\Hoverlatch\\config.ini"); }
    bool WriteConfig(const std::string& bytes) const { return Write(L"quenby\\Hoverlatch\\config.ini", bytes); }
    void Install(const std::wstring& companion) const { Write(L"quenby\\" + companion + L"\\config.ini", "[General]"); }

    PlatformGuard platform;
    ScratchFolder scratch;
};

// Expected lines must show in this order (others may lie between); `absent` must not show at all.
TEST(TrayMenuBuild, IdentifiersMarksAndLabelsOfEachEntry) {
    struct Case { const char* name; Settings settings; UiLanguage language; TrayMenuProbes probes; Lines lines;
                  std::wstring absent; };
    const Case cases[] = {
        {"capture items out of identifier order, marked by position", {.topRight = A::FramwickOcr},
         UiLanguage::English, {true, true, true},
         {L"> Top right (FramwickCapture)", L"  Task View #1120", L"  Loftmoor #1121", L"  Notchling #1122",
          L"  > FramwickCapture", L"    Capture\u2026 #1129", L"    Rectangle #1124", L"    Window #1125",
          L"    Fullscreen #1126", L"    Freeform #1127", L"    Scroll \u03B2 #1130", L"    (*) Text OCR #1128",
          L"  Disabled #1123", L"> Bottom left (Disabled)"}, L"(*) Disabled #1123"},
        {"top capture item takes the mark", {.topRight = A::FramwickBar}, UiLanguage::English, {true, true, true},
         {L"    (*) Capture\u2026 #1129", L"    Rectangle #1124"}, L"(*) Text OCR #1128"},
        {"missing programs are left out and show Disabled", {.topLeft = A::FramwickWindow, .topRight = A::Loftmoor},
         UiLanguage::English, {.notchlingInstalled = true},
         {L"> Top left (Disabled)", L"  Task View #1100", L"  Notchling #1102", L"  (*) Disabled #1103",
          L"> Top right (Disabled)", L"  Task View #1120", L"  Notchling #1122", L"  (*) Disabled #1123"},
         L"  Loftmoor #1101"},
        {"bottom corners", {.bottomLeft = A::Loftmoor, .bottomRight = A::TaskView}, UiLanguage::English, {true},
         {L"> Bottom left (Loftmoor)", L"  Task View #1140", L"  (*) Loftmoor #1141", L"  Disabled #1143",
          L"> Bottom right (Task View)", L"  (*) Task View #1160", L"  Loftmoor #1161", L"  Disabled #1163"},
         L"Notchling"},
        {"values, an unlisted zone marking the first item", {.edgeZonePx = 13, .cornerDwellMs = 1000,
         .runAtStartup = true}, UiLanguage::English, {},
         {L"[disabled] Hot corners #0", L"---", L"> Range until detection (13 px)", L"  (*) 4 px #1020",
          L"  6 px #1021", L"  8 px #1022", L"  10 px #1023", L"  12 px #1024", L"  14 px #1025", L"  16 px #1026",
          L"  18 px #1027", L"  20 px #1028", L"  24 px #1029", L"> Time until detection (1000 ms)",
          L"  300 ms #1030", L"  350 ms #1031", L"  400 ms #1032", L"  450 ms #1033", L"  500 ms #1034",
          L"  600 ms #1035", L"  700 ms #1036", L"  800 ms #1037", L"  900 ms #1038", L"  (*) 1000 ms #1039", L"---",
          L"[x] Run at Windows startup #1003", L"About this app\u2026 #1002", L"---", L"Exit Hoverlatch #1001"},
         L"> FramwickCapture"},
        {"full-width brackets in Japanese", {.topLeft = A::TaskView}, UiLanguage::Japanese, {},
         {L"> \u5DE6\u4E0A\uFF08\u30BF\u30B9\u30AF\u30D3\u30E5\u30FC\uFF09"}, L"\u5DE6\u4E0A ("},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GlobalsGuard globals;
        g_settings = c.settings;
        UniqueMenu menu = BuildTrayMenu(c.language, c.probes);
        ASSERT_TRUE(menu);
        const Lines shown = MenuLines(menu.get());
        auto at = shown.begin();
        for (const std::wstring& line : c.lines) {
            at = std::find(at, shown.end(), line);
            EXPECT_NE(at, shown.end()) << Utf8(line) << " missing or out of order";
        }
        EXPECT_TRUE(std::none_of(shown.begin(), shown.end(), [&](auto& l) { return l.find(c.absent) != l.npos; }));
        EXPECT_TRUE(g_settings.topLeft == c.settings.topLeft && g_settings.topRight == c.settings.topRight)
            << "stored actions are kept";
    }
}

// Every value differs from what the commands below write; the user's own section must be kept.
const std::string kInitialLines[] = {
    "[Trigger]", "TopLeft=FramwickWindow", "TopRight=Notchling", "BottomLeft=TaskView", "BottomRight=FramwickOcr",
    "EdgeZonePx=13", "CornerDwellMs=777", "[UI]", "Language=en", "[General]", "RunAtStartup=0", "[Mine]", "Note=kept"};

// config.ini as the program renders it (UTF-8 mark, CR LF between lines), the line of `changed`'s key replaced.
std::string RenderedIni(const std::string& changed = "") {
    std::string bytes = "\xEF\xBB\xBF";
    for (const std::string& line : kInitialLines) {
        const bool same = line.substr(0, line.find('=') + 1) == changed.substr(0, changed.find('=') + 1);
        bytes += (&line == kInitialLines ? "" : "\r\n") + (same && !changed.empty() ? changed : line);
    }
    return bytes;
}

std::vector<int> Remembered() {  // what the detector and the next menu use from memory
    const Settings& s = g_settings;
    return {int(s.topLeft), int(s.topRight), int(s.bottomLeft), int(s.bottomRight), s.edgeZonePx, s.cornerDwellMs,
            s.runAtStartup};
}

TEST(TrayMenuCommand, EachIdentifierStoresItsValueOrIsIgnored) {
    constexpr int kLoftmoor = 1, kNotchling = 2;  // companions installed for a case
    struct Case { WORD id; const char* line; int installed = kLoftmoor | kNotchling; };  // empty line: ignored
    const Case cases[] = {
        {1020, "EdgeZonePx=4"}, {1031, "CornerDwellMs=350"}, {1100, "TopLeft=TaskView"}, {1103, "TopLeft=Disabled"},
        {1125, "TopRight=FramwickWindow"}, {1146, "BottomLeft=FramwickFullscreen"},
        {1147, "BottomLeft=FramwickFreeform"}, {1128, "TopRight=FramwickOcr"}, {1169, "BottomRight=FramwickBar"},
        {1170, "BottomRight=FramwickScroll"},
        // Companion items count only while the companion is installed; capture items are taken as they come.
        {1101, "", kNotchling}, {1101, "TopLeft=Loftmoor", kLoftmoor}, {1161, "BottomRight=Loftmoor", kLoftmoor},
        {1142, "", kLoftmoor}, {1142, "BottomLeft=Notchling", kNotchling},
        {0, ""}, {1000, ""}, {1004, ""}, {1019, ""}, {1040, ""}, {1099, ""}, {1111, ""}, {1119, ""}, {1171, ""},
        {1180, ""}, {65535, ""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.id << " installed " << c.installed);
        GlobalsGuard globals;
        ScratchAppData appData;
        if (c.installed & kLoftmoor) appData.Install(L"Loftmoor");
        if (c.installed & kNotchling) appData.Install(L"Notchling");
        ASSERT_TRUE(appData.WriteConfig(RenderedIni()));
        LoadSettings(false);
        g_tracker.scaledZonePx = 77;  // a reset forgets the scaled zone
        HandleMenuCommand(nullptr, c.id);
        EXPECT_EQ(RenderedIni(c.line), appData.Config());
        EXPECT_EQ(*c.line ? 0 : 77, g_tracker.scaledZonePx) << "detector reset";
        const std::vector<int> inMemory = Remembered();
        LoadSettings(false);
        EXPECT_EQ(Remembered(), inMemory) << "memory and file disagree";
    }
}

HWND g_clicked = nullptr;  // the main window a tray click reached during the startup task's wait

// A packaged run waits for the startup task while messages flow; a tray click then opens the menu, which
// reloads the file that still says 0. The choice made must still be what is stored.
TEST(TrayMenuCommand, RunAtStartupStoresTheChoiceWhenTheMenuOpensDuringTheWait) {
    GlobalsGuard globals;
    ScratchAppData appData;
    FakeRuntimeScope runtime;
    g_platform.getCurrentPackageFullName = [](UINT32*, PWSTR) -> LONG { return ERROR_INSUFFICIENT_BUFFER; };
    g_platform.trackPopupMenuEx = [](HMENU, UINT, int, int, HWND, LPTPMPARAMS) -> BOOL { return 0; };
    HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(+[](HWND w, UINT m, WPARAM wp, LPARAM lp) {
        if (m != WM_APP) return DefWindowProcW(w, m, wp, lp);
        ShowTrayMenu(g_clicked = w);
        return g_fake.pendingEnable->Complete(), LRESULT(0);
    }));
    g_fake.enableWaits = true;
    g_fake.clickDuringEnable = window;
    ASSERT_TRUE(appData.WriteConfig(RenderedIni()));
    LoadSettings(false);
    HANDLE finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread watchdog([finished] {  // a wait that does not dispatch fails instead of hanging
        if (WaitForSingleObject(finished, 10000) == WAIT_TIMEOUT && g_fake.pendingEnable) g_fake.pendingEnable->Complete();
    });
    HandleMenuCommand(window, IDM_RUN_AT_STARTUP);
    SetEvent(finished);
    watchdog.join();
    CloseHandle(finished);
    EXPECT_EQ(g_clicked, window) << "the menu did not open during the wait";
    EXPECT_EQ(RenderedIni("RunAtStartup=1"), appData.Config());
    EXPECT_TRUE(g_settings.runAtStartup);
    HandleMenuCommand(window, IDM_RUN_AT_STARTUP);
    EXPECT_EQ(RenderedIni(), appData.Config()) << "switched back off";
    DestroyWindow(window);
}

HWND g_owner = nullptr;
BOOL g_answer = 0;            // the choice the next opening returns, once
std::vector<HMENU> g_built;   // every menu the openings created
std::vector<std::string> g_events;
int g_visible = 0;            // openings whose menu became visible

// The real modal menu, logged first; the timer below ends it.
BOOL WINAPI TrackAndLog(HMENU menu, UINT flags, int x, int y, HWND owner, LPTPMPARAMS params) {
    char text[64];
    snprintf(text, sizeof(text), "track 0x%X at %d,%d%s", flags, x, y, owner == g_owner && !params ? "" : " ?");
    g_events.push_back(text);
    TrackPopupMenuEx(menu, flags, x, y, owner, params);
    return std::exchange(g_answer, 0);
}
BOOL WINAPI PostAndLog(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    char text[96];
    snprintf(text, sizeof(text), "post %s %u %d%s%s",
             message == WM_NULL ? "WM_NULL" : message == WM_COMMAND ? "WM_COMMAND" : "?",
             static_cast<unsigned>(wParam), static_cast<int>(lParam), window == g_owner ? "" : " elsewhere",
             std::any_of(g_built.begin(), g_built.end(), IsMenu) ? " while a menu lives" : "");
    g_events.push_back(text);
    return TRUE;
}
void CALLBACK CloseShownMenu(HWND, UINT, UINT_PTR, DWORD) {
    constexpr int kGiveUpTicks = 300;  // ~3 s without a visible menu: close it anyway, uncounted
    static int ticks = 0;
    HWND popup = FindWindowW(L"#32768", nullptr);
    const bool shown = popup && IsWindowVisible(popup);
    if (!shown && ++ticks < kGiveUpTicks) return;
    g_visible += shown ? 1 : 0;
    ticks = 0;
    EndMenu();
}

// One opening that chooses an item, many dismissed (the stress count), one without a menu.
TEST(TrayMenuShow, EachOpeningTracksAtThePointerAndPostsOnceTheMenuIsGone) {
    const int openings = StressRounds(20, 200);
    constexpr UINT kCloseTimerMs = 10;  // how often the timer looks for the open menu
    GlobalsGuard globals;
    ScratchAppData appData;
    g_owner = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    g_platform.getCursorPos = [](POINT* point) -> BOOL { *point = {640, 400}; return TRUE; };
    g_platform.trackPopupMenuEx = &TrackAndLog;
    g_platform.postMessageW = &PostAndLog;
    g_platform.createPopupMenu = []() { return g_built.emplace_back(CreatePopupMenu()); };
    SetTimer(g_owner, 1, kCloseTimerMs, &CloseShownMenu);
    g_answer = 1124;
    for (int i = 0; i <= openings; ++i) ShowTrayMenu(g_owner);
    g_platform.createPopupMenu = []() -> HMENU { return nullptr; };
    ShowTrayMenu(g_owner);  // nothing shown, nothing posted
    DestroyWindow(g_owner);
    const std::string track = "track 0x1A3 at 640,400", null = "post WM_NULL 0 0";
    std::vector<std::string> events = {track, null, "post WM_COMMAND 1124 0"};
    for (int i = 0; i < openings; ++i) events.insert(events.end(), {track, null});
    EXPECT_EQ(events, g_events);
    EXPECT_EQ(1 + openings, g_visible) << "openings that showed a visible menu";
    EXPECT_EQ(0, std::count_if(g_built.begin(), g_built.end(), IsMenu)) << "menus left alive";
    EXPECT_EQ(7u * (1 + openings), g_built.size()) << "top level, four corners, zone and dwell";
}

}  // namespace
