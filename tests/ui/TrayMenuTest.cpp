// The tray menu: the real menu read back item by item, its commands through config.ini, its openings.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "settings/SettingsStore.h"
#include "support/TestSupport.h"
#include "ui/AboutWindow.h"
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
    void InstallCaptureTool() const {  // the location file is UTF-16 and names an existing file
        Write(L"Tools\\capture.exe", "MZ");
        Write(L"quenby\\Framwick\\capture-exe.txt", Utf16Bytes(scratch / L"Tools\\capture.exe\r\n", true));
    }

    PlatformGuard platform;
    ScratchFolder scratch;
};

Lines BuildLines(const Settings& settings, UiLanguage language, TrayMenuProbes probes) {
    g_settings = settings;
    UniqueMenu menu = BuildTrayMenu(language, probes);
    return menu ? MenuLines(menu.get()) : Lines{};
}

std::wstring Item(bool marked, const std::wstring& label, int id) {
    return (marked ? L"(*) " : L"") + label + L" #" + std::to_wstring(id);
}

// Texts from the string tables: Task View, `capture`, Loftmoor and Disabled on the four corners, 24 px,
// 1000 ms, run at startup on, everything installed. The capture items are not in identifier order.
Lines ExpectedFullMenu(UiLanguage language, A capture) {
    auto text = [language](MenuString which) { return std::wstring(MenuText(language, which)); };
    const std::wstring taskView = TaskViewLabel(language), disabled = DisabledLabel(language);
    const bool japanese = language == UiLanguage::Japanese;
    const std::wstring open = japanese ? L"\uFF08" : L" (", close = japanese ? L"\uFF09" : L")";  // full-width
    const std::tuple<MenuString, A, std::wstring> corners[] = {
        {MenuString::TopLeft, A::TaskView, taskView}, {MenuString::TopRight, capture, L"FramwickCapture"},
        {MenuString::BottomLeft, A::Loftmoor, L"Loftmoor"}, {MenuString::BottomRight, A::Disabled, disabled}};
    // The capture items top to bottom, with their offsets in a corner's block of identifiers.
    const std::pair<A, int> captures[] = {{A::FramwickBar, 9},        {A::FramwickRegion, 4},   {A::FramwickWindow, 5},
                                          {A::FramwickFullscreen, 6}, {A::FramwickFreeform, 7}, {A::FramwickScroll, 10},
                                          {A::FramwickOcr, 8}};
    Lines lines = {L"[disabled] " + text(MenuString::Header) + L" #0"};
    int id = 1100;
    for (const auto& [name, marked, label] : corners) {
        lines.insert(lines.end(), {L"> " + text(name) + open + label + close,
                                   L"  " + Item(marked == A::TaskView, taskView, id),
                                   L"  " + Item(marked == A::Loftmoor, L"Loftmoor", id + 1),
                                   L"  " + Item(false, L"Notchling", id + 2), L"  > FramwickCapture"});
        for (const auto& [action, offset] : captures) {
            lines.push_back(L"    " + Item(marked == action, CaptureModeLabel(language, action), id + offset));
        }
        lines.push_back(L"  " + Item(marked == A::Disabled, disabled, id + 3));
        id += 20;
    }
    id = 1020;  // the zone items, then the dwell items
    lines.insert(lines.end(), {L"---", L"> " + text(MenuString::ZoneTitle) + L" (24 px)"});
    for (int px : {4, 6, 8, 10, 12, 14, 16, 18, 20, 24}) {
        lines.push_back(L"  " + Item(px == 24, std::to_wstring(px) + L" px", id++));
    }
    lines.push_back(L"> " + text(MenuString::DwellTitle) + L" (1000 ms)");
    for (int ms : {300, 350, 400, 450, 500, 600, 700, 800, 900, 1000}) {
        lines.push_back(L"  " + Item(ms == 1000, std::to_wstring(ms) + L" ms", id++));
    }
    lines.insert(lines.end(), {L"---", L"[x] " + Item(false, text(MenuString::RunAtStartup), 1003),
                               Item(false, text(MenuString::About), 1002), L"---",
                               Item(false, text(MenuString::Exit), 1001)});
    return lines;
}

// A program that is missing: its items are left out, the entry shows Disabled, the stored action is kept.
TEST(TrayMenuBuild, CornerEntryShowsOnlyWhatIsInstalled) {
    GlobalsGuard globals;
    const Lines lines = BuildLines({.topLeft = A::FramwickWindow, .topRight = A::Loftmoor}, UiLanguage::English,
                                   {.notchlingInstalled = true});
    const Lines entries = {
        L"> Top left (Disabled)",  L"  Task View #1100", L"  Notchling #1102", L"  (*) Disabled #1103",
        L"> Top right (Disabled)", L"  Task View #1120", L"  Notchling #1122", L"  (*) Disabled #1123",
        L"> Bottom left (Disabled)"};
    ASSERT_GT(lines.size(), entries.size());
    EXPECT_EQ(entries, Lines(lines.begin() + 1, lines.begin() + 1 + entries.size()));  // below the header
    EXPECT_TRUE(g_settings.topLeft == A::FramwickWindow && g_settings.topRight == A::Loftmoor) << "stored as before";
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

TEST(TrayMenuCommand, EachIdentifierStoresItsValueOrIsIgnored) {
    constexpr int kLoftmoor = 1, kNotchling = 2;  // companions installed for a case
    struct Case { WORD id; const char* line; int installed = kLoftmoor | kNotchling; };  // empty line: ignored
    const Case cases[] = {
        {1020, "EdgeZonePx=4"}, {1029, "EdgeZonePx=24"}, {1030, "CornerDwellMs=300"}, {1039, "CornerDwellMs=1000"},
        {1003, "RunAtStartup=1"}, {1100, "TopLeft=TaskView"}, {1103, "TopLeft=Disabled"},
        {1104, "TopLeft=FramwickRegion"}, {1125, "TopRight=FramwickWindow"}, {1146, "BottomLeft=FramwickFullscreen"},
        {1147, "BottomLeft=FramwickFreeform"}, {1128, "TopRight=FramwickOcr"}, {1169, "BottomRight=FramwickBar"},
        {1170, "BottomRight=FramwickScroll"},
        // Companion items count only while the companion is installed; capture items are taken as they come.
        {1101, "", kNotchling}, {1101, "TopLeft=Loftmoor", kLoftmoor}, {1161, "BottomRight=Loftmoor", kLoftmoor},
        {1142, "", kLoftmoor}, {1142, "BottomLeft=Notchling", kNotchling},
        {IDM_EXIT, ""}, {IDM_ABOUT, ""},  // the file stays; their windows are checked below
        {0, ""}, {999, ""}, {1000, ""}, {1004, ""}, {1019, ""}, {1040, ""}, {1099, ""}, {1111, ""}, {1119, ""},
        {1131, ""}, {1159, ""}, {1171, ""}, {1179, ""}, {1180, ""}, {1200, ""}, {65535, ""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.id << " installed " << c.installed);
        GlobalsGuard globals;
        ScratchAppData appData;
        if (c.installed & kLoftmoor) appData.Install(L"Loftmoor");
        if (c.installed & kNotchling) appData.Install(L"Notchling");
        ASSERT_TRUE(appData.WriteConfig(RenderedIni()));
        LoadSettings(false);
        g_tracker.scaledZonePx = 77;  // a reset forgets the scaled zone
        HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
        HandleMenuCommand(window, c.id);
        EXPECT_EQ(RenderedIni(c.line), appData.Config());
        EXPECT_EQ(*c.line && c.id != IDM_RUN_AT_STARTUP ? 0 : 77, g_tracker.scaledZonePx) << "detector reset";
        const Lines inMemory = BuildLines(g_settings, UiLanguage::English, {true, true, true});
        LoadSettings(false);
        EXPECT_EQ(BuildLines(g_settings, UiLanguage::English, {true, true, true}), inMemory) << "as in the file";
        EXPECT_EQ(c.id != IDM_EXIT, IsWindow(window) != FALSE) << "exit destroys the main window";
        EXPECT_EQ(c.id == IDM_ABOUT ? window : nullptr, GetWindow(CurrentAboutWindow(), GW_OWNER)) << "about";
        DestroyWindow(CurrentAboutWindow());
        DestroyWindow(window);
        if (c.id != IDM_RUN_AT_STARTUP) continue;
        HandleMenuCommand(nullptr, c.id);
        EXPECT_EQ(RenderedIni(), appData.Config()) << "switched back off";
    }
}

HWND g_owner = nullptr;
BOOL g_answer = 0;            // the choice the next opening returns, once
std::vector<HMENU> g_built;   // every menu the openings created
std::vector<Lines> g_shown;   // each tracked menu, read as it is tracked
std::vector<std::string> g_events;
int g_visible = 0;            // openings whose menu became visible

// The real modal menu, read and logged first; the timer below ends it.
BOOL WINAPI TrackAndLog(HMENU menu, UINT flags, int x, int y, HWND owner, LPTPMPARAMS params) {
    char text[64];
    snprintf(text, sizeof(text), "track 0x%X at %d,%d%s", flags, x, y, owner == g_owner && !params ? "" : " ?");
    g_events.push_back(text);
    g_shown.push_back(MenuLines(menu));
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

// Openings: nothing installed; one per language, everything installed; many dismissed; one without a menu.
TEST(TrayMenuShow, EachOpeningReloadsTheFileTracksAtThePointerAndPostsOnceTheMenuIsGone) {
    constexpr int kOpenings = 200;      // dismissed openings at the end
    constexpr UINT kCloseTimerMs = 10;  // how often the timer looks for the open menu
    GlobalsGuard globals;
    ScratchAppData appData;
    g_owner = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    g_platform.getCursorPos = [](POINT* point) -> BOOL { *point = {640, 400}; return TRUE; };
    g_platform.trackPopupMenuEx = &TrackAndLog;
    g_platform.postMessageW = &PostAndLog;
    g_platform.createPopupMenu = []() { return g_built.emplace_back(CreatePopupMenu()); };
    SetTimer(g_owner, 1, kCloseTimerMs, &CloseShownMenu);
    ASSERT_TRUE(appData.WriteConfig("[Trigger]\r\nTopLeft=TaskView\r\nEdgeZonePx=13\r\n[UI]\r\nLanguage=ja"));
    g_answer = 1124;
    ShowTrayMenu(g_owner);
    for (const wchar_t* companion : {L"Loftmoor", L"Notchling"}) appData.Install(companion);
    appData.InstallCaptureTool();
    const char* codes[] = {"ja", "en", "ko", "zh-CN", "zh-TW", "fr", "it", "de", "es"};  // in UiLanguage order
    for (int language = 0; language < 9; ++language) {
        const A capture = A(static_cast<int>(A::FramwickRegion) + language % 7);  // each capture item takes the mark
        ASSERT_TRUE(appData.WriteConfig("[Trigger]\r\nTopLeft=TaskView\r\nTopRight=" + Utf8(CornerActionName(capture)) +
                                        "\r\nBottomLeft=Loftmoor\r\nEdgeZonePx=24\r\nCornerDwellMs=1000\r\n[UI]\r\n"
                                        "Language=" + codes[language] + "\r\n[General]\r\nRunAtStartup=1"));
        ShowTrayMenu(g_owner);
        EXPECT_EQ(ExpectedFullMenu(UiLanguage(language), capture), g_shown.at(1 + language)) << codes[language];
    }
    for (int i = 0; i < kOpenings; ++i) ShowTrayMenu(g_owner);
    g_platform.createPopupMenu = []() -> HMENU { return nullptr; };
    ShowTrayMenu(g_owner);  // nothing shown, nothing posted
    DestroyWindow(g_owner);
    const std::string track = "track 0x1A3 at 640,400", null = "post WM_NULL 0 0";
    std::vector<std::string> events = {track, null, "post WM_COMMAND 1124 0"};
    for (int i = 0; i < 9 + kOpenings; ++i) events.insert(events.end(), {track, null});
    EXPECT_EQ(events, g_events);
    EXPECT_EQ(1 + 9 + kOpenings, g_visible) << "openings that showed a visible menu";
    EXPECT_EQ(0, std::count_if(g_built.begin(), g_built.end(), IsMenu)) << "menus left alive";
    // Top level, four corners, zone and dwell; with the capture tool a capture menu in each corner.
    EXPECT_EQ(7 + 11u * (9 + kOpenings), g_built.size());
    const std::tuple<int, const wchar_t*, int> expected[] = {  // opening, line by code point, times shown
        {0, L"> \u5DE6\u4E0A\uFF08\u30BF\u30B9\u30AF\u30D3\u30E5\u30FC\uFF09", 1}, {0, L"  Loftmoor #1101", 0},
        {0, L"> \u691C\u51FA\u307E\u3067\u306E\u7BC4\u56F2 (13 px)", 1}, {0, L"  (*) 4 px #1020", 1},
        {3, L"> \uC88C\uC0C1\uB2E8 (\uC791\uC5C5 \uBCF4\uAE30)", 1}};
    for (const auto& [opening, line, times] : expected) {
        EXPECT_EQ(times, std::count(g_shown.at(opening).begin(), g_shown.at(opening).end(), line)) << Utf8(line);
    }
}

}  // namespace
