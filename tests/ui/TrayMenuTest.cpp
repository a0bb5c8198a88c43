// The tray menu: the real menu read back item by item, its commands through config.ini, its openings.
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <string>
#include <vector>

#include "settings/SettingsStore.h"
#include "startup/Fakes.h"
#include "support/TestSupport.h"
#include "ui/TrayMenu.h"

namespace {

using A = CornerAction;

constexpr UINT kTop = 0x10000;  // + position: an item of the top level (header, 4 corners, ---, zone, dwell, ...)

// An item by identifier anywhere in the menu, or kTop + its position: its state, its mark and its text.
std::wstring Shown(HMENU menu, UINT item) {
    wchar_t text[128] = {};
    MENUITEMINFOW info{sizeof(info), MIIM_FTYPE | MIIM_STATE | MIIM_STRING, 0, 0, 0, {}, {}, {}, 0, text, 128, {}};
    if (!GetMenuItemInfoW(menu, item % kTop, item >= kTop, &info)) return L"absent";
    const wchar_t* mark = !(info.fState & MF_CHECKED) ? L"" : (info.fType & MFT_RADIOCHECK) ? L"(*) " : L"[x] ";
    const UINT state = info.fState;
    return std::wstring((state & MF_GRAYED) ? L"[grayed] " : (state & MF_DISABLED) ? L"[disabled] " : L"") + mark + text;
}

TEST(TrayMenuBuild, IdentifiersMarksAndLabelsOfEachEntry) {
    struct Check { UINT item; const wchar_t* shown; };
    struct Case { Settings settings; TrayMenuProbes probes; std::vector<Check> checks; UiLanguage language; };
    const Case cases[] = {
        // The header is disabled, not grayed: drawn like a normal item. Capture items are not in identifier
        // order, so their radio mark goes by position. A zone that is not listed marks the first item.
        {{A::FramwickRegion, A::FramwickOcr, A::Loftmoor, A::Notchling, 13, 1000, true}, {true, true, true},
         {{kTop, L"[disabled] Hot corners"}, {kTop + 2, L"Top right (FramwickCapture)"}, {1104, L"(*) Rectangle"},
          {1128, L"(*) Text OCR"}, {1123, L"Disabled"}, {1141, L"(*) Loftmoor"}, {1162, L"(*) Notchling"},
          {kTop + 6, L"Range until detection (13 px)"}, {1020, L"(*) 4 px"}, {1039, L"(*) 1000 ms"},
          {kTop + 7, L"Time until detection (1000 ms)"}, {1003, L"[x] Run at Windows startup"}}, UiLanguage::English},
        {{A::FramwickWindow, A::FramwickBar, A::FramwickFullscreen, A::FramwickScroll, 14, 600}, {true, true, true},
         {{1105, L"(*) Window"}, {1129, L"(*) Capture\u2026"}, {1146, L"(*) Fullscreen"}, {1170, L"(*) Scroll \u03B2"},
          {1025, L"(*) 14 px"}, {1035, L"(*) 600 ms"}, {1003, L"Run at Windows startup"}}, UiLanguage::English},
        // Items of missing programs are left out; the entry shows Disabled while the file keeps the action.
        {{A::FramwickWindow, A::Loftmoor, A::Notchling, A::TaskView}, {},
         {{kTop + 1, L"Top left (Disabled)"}, {1103, L"(*) Disabled"}, {1105, L"absent"},
          {kTop + 2, L"Top right (Disabled)"}, {1121, L"absent"}, {1142, L"absent"},
          {kTop + 4, L"Bottom right (Task View)"}, {1160, L"(*) Task View"}}, UiLanguage::English},
        {{A::TaskView}, {}, {{kTop + 1, L"\u5DE6\u4E0A\uFF08\u30BF\u30B9\u30AF\u30D3\u30E5\u30FC\uFF09"}},
         UiLanguage::Japanese},  // full-width brackets
    };
    for (const Case& c : cases) {
        GlobalsGuard globals;
        g_settings = c.settings;
        UniqueMenu menu = BuildTrayMenu(c.language, c.probes);
        for (const Check& check : c.checks) EXPECT_EQ(Utf8(Shown(menu.get(), check.item)), Utf8(check.shown)) << check.item;
        EXPECT_EQ(ActionFor(Corner::TopLeft), c.settings.topLeft) << "the stored action is kept";
    }
}

// config.ini as the program renders it (UTF-8 mark, CR LF between lines), the line of `changed`'s key replaced.
// Every value differs from what the commands write; the user's own section must be kept.
std::string RenderedIni(const std::string& changed = "=") {
    std::string bytes = "\xEF\xBB\xBF[Trigger]";
    for (std::string line : {"TopLeft=FramwickWindow", "TopRight=Notchling", "BottomLeft=TaskView",
                             "BottomRight=FramwickOcr", "EdgeZonePx=13", "CornerDwellMs=777", "[UI]", "Language=en",
                             "[General]", "RunAtStartup=0", "[Mine]", "Note=kept"}) {
        bytes += "\r\n" + (line.substr(0, line.find('=') + 1) == changed.substr(0, changed.find('=') + 1) ? changed : line);
    }
    return bytes;
}

std::vector<int> Remembered() {  // what the detector and the next menu take from memory
    const Settings& s = g_settings;
    return {int(s.topLeft), int(s.topRight), int(s.bottomLeft), int(s.bottomRight), s.edgeZonePx, s.cornerDwellMs,
            s.runAtStartup};
}

TEST(TrayMenuCommand, EachIdentifierStoresItsValueOrIsIgnored) {
    constexpr int kLoftmoor = 1, kNotchling = 2;  // companions installed for a case
    struct Case { WORD id; const char* line; int installed = kLoftmoor | kNotchling; };  // "=": ignored
    const Case cases[] = {
        {1020, "EdgeZonePx=4"}, {1031, "CornerDwellMs=350"}, {1100, "TopLeft=TaskView"}, {1103, "TopLeft=Disabled"},
        {1125, "TopRight=FramwickWindow"}, {1146, "BottomLeft=FramwickFullscreen"},
        {1147, "BottomLeft=FramwickFreeform"}, {1128, "TopRight=FramwickOcr"}, {1169, "BottomRight=FramwickBar"},
        {1170, "BottomRight=FramwickScroll"},
        // Companion items count only while the companion is installed; capture items are taken as they come.
        {1101, "=", kNotchling}, {1101, "TopLeft=Loftmoor", kLoftmoor}, {1161, "BottomRight=Loftmoor", kLoftmoor},
        {1142, "=", kLoftmoor}, {1142, "BottomLeft=Notchling", kNotchling},
        {1004, "="}, {1019, "="}, {1040, "="}, {1099, "="}, {1111, "="}, {1180, "="}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.id << " installed " << c.installed);
        GlobalsGuard globals;
        ScratchAppData appData;
        if (c.installed & kLoftmoor) appData.Write(L"Loftmoor", "[General]");
        if (c.installed & kNotchling) appData.Write(L"Notchling", "[General]");
        ASSERT_TRUE(appData.Write(L"Hoverlatch", RenderedIni()));
        LoadSettings(false);
        g_tracker.scaledZonePx = 77;  // a reset forgets the scaled zone
        HandleMenuCommand(nullptr, c.id);
        EXPECT_EQ(RenderedIni(c.line), appData.Config());
        EXPECT_EQ(std::string(c.line) == "=" ? 77 : 0, g_tracker.scaledZonePx) << "detector reset";
        const std::vector<int> inMemory = Remembered();
        LoadSettings(false);
        EXPECT_EQ(Remembered(), inMemory) << "memory and file disagree";
    }
}

HWND g_clicked = nullptr;  // the window a tray click reached during the startup task's wait

// A packaged run waits for the startup task while messages flow; a tray click then opens the menu, which
// reloads the file that still says 0. The choice made must still be what is stored.
TEST(TrayMenuCommand, RunAtStartupStoresTheChoiceWhenTheMenuOpensDuringTheWait) {
    GlobalsGuard globals;
    ScratchAppData appData;
    FakeRuntime runtime;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);  // as the program's thread is while the task is asked
    g_platform.getCurrentPackageFullName = [](UINT32*, PWSTR) -> LONG { return ERROR_INSUFFICIENT_BUFFER; };
    g_platform.trackPopupMenuEx = [](HMENU, UINT, int, int, HWND, LPTPMPARAMS) -> BOOL { return 0; };
    HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(+[](HWND w, UINT m, WPARAM wp, LPARAM lp) {
        if (m != WM_APP) return DefWindowProcW(w, m, wp, lp);
        ShowTrayMenu(g_clicked = w);
        return g_fake->Complete(), LRESULT(0);
    }));
    runtime.clickDuringEnable = window;
    ASSERT_TRUE(appData.Write(L"Hoverlatch", RenderedIni()));
    LoadSettings(false);
    HandleMenuCommand(window, IDM_RUN_AT_STARTUP);  // a wait that stops dispatching hangs here: ctest's timeout
    EXPECT_EQ(g_clicked, window) << "the menu did not open during the wait";
    EXPECT_EQ(RenderedIni("RunAtStartup=1"), appData.Config());
    EXPECT_TRUE(g_settings.runAtStartup);
    HandleMenuCommand(window, IDM_RUN_AT_STARTUP);
    EXPECT_EQ(RenderedIni(), appData.Config()) << "switched back off";
    DestroyWindow(window);
    CoUninitialize();
}

std::vector<HMENU> g_built;  // every menu the openings created
std::vector<std::string> g_events;

// Each opening tracks at the pointer with flags 0x1A3 (the choice returned, bottom-left corner at the pointer,
// right button, nested openings allowed) and posts the choice once its menus are gone; none leaks.
TEST(TrayMenuShow, EachOpeningTracksAtThePointerAndPostsOnceTheMenuIsGone) {
    GlobalsGuard globals;
    ScratchAppData appData;
    g_platform.getCursorPos = [](POINT* point) -> BOOL { return *point = {640, 400}, TRUE; };
    g_platform.createPopupMenu = [] { return g_built.emplace_back(CreatePopupMenu()); };
    g_platform.trackPopupMenuEx = [](HMENU, UINT flags, int x, int y, HWND, LPTPMPARAMS) -> BOOL {
        return g_events.push_back("track " + std::to_string(flags) + " " + std::to_string(x) + "," + std::to_string(y)), 1124;
    };
    g_platform.postMessageW = [](HWND, UINT message, WPARAM wParam, LPARAM) -> BOOL {
        const bool alive = std::any_of(g_built.begin(), g_built.end(), IsMenu);
        return g_events.push_back("post " + std::to_string(message) + " " + std::to_string(wParam) + (alive ? " early" : "")), 1;
    };
    const int openings = StressRounds(20, 200);
    std::vector<std::string> expected;
    for (int i = 0; i < openings; ++i) {
        ShowTrayMenu(nullptr);
        expected.insert(expected.end(), {"track 419 640,400", "post 0 0", "post 273 1124"});  // WM_NULL, WM_COMMAND
    }
    g_platform.createPopupMenu = []() -> HMENU { return nullptr; };
    ShowTrayMenu(nullptr);  // nothing shown, nothing posted
    EXPECT_EQ(expected, g_events);
    EXPECT_EQ(0, std::count_if(g_built.begin(), g_built.end(), IsMenu)) << "menus left alive";
    EXPECT_EQ(7u * openings, g_built.size()) << "top level, four corners, zone and dwell";
}

}  // namespace
