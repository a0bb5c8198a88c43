// Menu commands as the main window receives them: what each identifier does to Settings, to the bytes of
// config.ini (in a scratch application-data folder) and to the corner detector.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "corners/CornerTracker.h"
#include "support/TestSupport.h"
#include "ui/AboutWindow.h"
#include "ui/TrayMenu.h"
#include "ui/TrayMenuTestSupport.h"

namespace {

// A file with a value in every key that differs from what the commands below write, and a section of
// the user's own that every write must keep.
const std::vector<std::string> kInitialLines = {
    "[Trigger]",
    "TopLeft=FramwickWindow",
    "TopRight=Notchling",
    "BottomLeft=TaskView",
    "BottomRight=FramwickOcr",
    "EdgeZonePx=13",
    "CornerDwellMs=777",
    "[UI]",
    "Language=en",
    "[General]",
    "RunAtStartup=0",
    "[Mine]",
    "Note=kept",
};

Settings InitialSettings() {
    Settings s;
    s.topLeft = CornerAction::FramwickWindow;
    s.topRight = CornerAction::Notchling;
    s.bottomLeft = CornerAction::TaskView;
    s.bottomRight = CornerAction::FramwickOcr;
    s.edgeZonePx = 13;
    s.cornerDwellMs = 777;
    s.runAtStartup = false;
    wcscpy(s.language, L"en");
    return s;
}

std::vector<std::string> WithValue(const std::string& key, const std::string& value) {
    std::vector<std::string> lines = kInitialLines;
    for (std::string& line : lines) {
        if (line.rfind(key + "=", 0) == 0) line = key + "=" + value;
    }
    return lines;
}

// Marks the detector so that a reset shows: a reset forgets the cached monitor and the scaled zone.
void MarkTracker() {
    g_tracker = CornerTracker{};
    g_tracker.cachedMonitor = reinterpret_cast<HMONITOR>(0x1234);
    g_tracker.scaledZonePx = 77;
    g_tracker.blocked = false;
}
bool TrackerWasReset() { return g_tracker.cachedMonitor == nullptr && g_tracker.scaledZonePx == 0; }
bool TrackerUntouched() {
    return g_tracker.cachedMonitor == reinterpret_cast<HMONITOR>(0x1234) && g_tracker.scaledZonePx == 77 &&
           !g_tracker.blocked;
}

bool SameSettings(const Settings& a, const Settings& b) {
    return a.topLeft == b.topLeft && a.topRight == b.topRight && a.bottomLeft == b.bottomLeft &&
           a.bottomRight == b.bottomRight && a.edgeZonePx == b.edgeZonePx && a.cornerDwellMs == b.cornerDwellMs &&
           a.runAtStartup == b.runAtStartup && wcscmp(a.language, b.language) == 0;
}

class TrayMenuCommand : public testing::Test {
protected:
    void SetUp() override { Reset(); }
    void Reset() {
        ASSERT_TRUE(appData.WriteConfig(RenderedIni(kInitialLines)));
        g_settings = InitialSettings();
        MarkTracker();
    }

    GlobalsGuard globals;
    ScratchAppData appData;
};

struct StoreCase {
    WORD id;
    const char* key;
    const char* value;
};

TEST_F(TrayMenuCommand, ZoneAndDwellItemsStoreTheirListValue) {
    const StoreCase cases[] = {
        {1020, "EdgeZonePx", "4"},     {1021, "EdgeZonePx", "6"},     {1024, "EdgeZonePx", "12"},
        {1028, "EdgeZonePx", "20"},    {1029, "EdgeZonePx", "24"},    {1030, "CornerDwellMs", "300"},
        {1031, "CornerDwellMs", "350"}, {1035, "CornerDwellMs", "600"}, {1039, "CornerDwellMs", "1000"},
    };
    for (const StoreCase& c : cases) {
        SCOPED_TRACE(c.id);
        Reset();
        HandleMenuCommand(nullptr, c.id);
        EXPECT_EQ(RenderedIni(WithValue(c.key, c.value)), appData.ReadConfig());
        const int stored = atoi(c.value);
        if (c.id < 1030) EXPECT_EQ(stored, g_settings.edgeZonePx);
        else EXPECT_EQ(stored, g_settings.cornerDwellMs);
        EXPECT_TRUE(TrackerWasReset());
    }
}

TEST_F(TrayMenuCommand, CornerItemsStoreTheActionNameUnderTheCornerKey) {
    struct Case {
        WORD id;
        const char* key;
        const char* value;
        Corner corner;
        CornerAction action;
    };
    const Case cases[] = {
        {1100, "TopLeft", "TaskView", Corner::TopLeft, CornerAction::TaskView},
        {1103, "TopLeft", "Disabled", Corner::TopLeft, CornerAction::Disabled},
        {1104, "TopLeft", "FramwickRegion", Corner::TopLeft, CornerAction::FramwickRegion},
        {1124, "TopRight", "FramwickRegion", Corner::TopRight, CornerAction::FramwickRegion},
        {1125, "TopRight", "FramwickWindow", Corner::TopRight, CornerAction::FramwickWindow},
        {1126, "TopRight", "FramwickFullscreen", Corner::TopRight, CornerAction::FramwickFullscreen},
        {1127, "TopRight", "FramwickFreeform", Corner::TopRight, CornerAction::FramwickFreeform},
        {1128, "TopRight", "FramwickOcr", Corner::TopRight, CornerAction::FramwickOcr},
        {1129, "TopRight", "FramwickBar", Corner::TopRight, CornerAction::FramwickBar},
        {1130, "TopRight", "FramwickScroll", Corner::TopRight, CornerAction::FramwickScroll},
        {1140, "BottomLeft", "TaskView", Corner::BottomLeft, CornerAction::TaskView},
        {1143, "BottomLeft", "Disabled", Corner::BottomLeft, CornerAction::Disabled},
        {1150, "BottomLeft", "FramwickScroll", Corner::BottomLeft, CornerAction::FramwickScroll},
        {1160, "BottomRight", "TaskView", Corner::BottomRight, CornerAction::TaskView},
        {1163, "BottomRight", "Disabled", Corner::BottomRight, CornerAction::Disabled},
        {1169, "BottomRight", "FramwickBar", Corner::BottomRight, CornerAction::FramwickBar},
    };
    // Capture choices are taken as they come: the tool is not asked again (none is installed here).
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        Reset();
        HandleMenuCommand(nullptr, c.id);
        EXPECT_EQ(RenderedIni(WithValue(c.key, c.value)), appData.ReadConfig());
        EXPECT_EQ(c.action, ActionFor(c.corner));
        EXPECT_TRUE(TrackerWasReset());
    }
}

TEST_F(TrayMenuCommand, CompanionItemsAreIgnoredUnlessTheCompanionIsInstalledNow) {
    struct Case {
        WORD id;
        const char* key;
        const char* value;
    };
    const Case loftmoor[] = {{1101, "TopLeft", "Loftmoor"}, {1161, "BottomRight", "Loftmoor"}};
    const Case notchling[] = {{1102, "TopLeft", "Notchling"}, {1142, "BottomLeft", "Notchling"}};
    for (const Case& c : loftmoor) {
        Reset();
        HandleMenuCommand(nullptr, c.id);
        EXPECT_EQ(RenderedIni(kInitialLines), appData.ReadConfig()) << c.id;
        EXPECT_TRUE(SameSettings(InitialSettings(), g_settings)) << c.id;
        EXPECT_TRUE(TrackerUntouched()) << c.id;
    }
    for (const Case& c : notchling) {
        Reset();
        HandleMenuCommand(nullptr, c.id);
        EXPECT_EQ(RenderedIni(kInitialLines), appData.ReadConfig()) << c.id;
        EXPECT_TRUE(SameSettings(InitialSettings(), g_settings)) << c.id;
    }
    appData.InstallLoftmoor();
    for (const Case& c : loftmoor) {
        Reset();
        HandleMenuCommand(nullptr, c.id);
        EXPECT_EQ(RenderedIni(WithValue(c.key, c.value)), appData.ReadConfig()) << c.id;
        EXPECT_TRUE(TrackerWasReset()) << c.id;
    }
    for (const Case& c : notchling) {  // Loftmoor's presence says nothing about Notchling
        Reset();
        HandleMenuCommand(nullptr, c.id);
        EXPECT_EQ(RenderedIni(kInitialLines), appData.ReadConfig()) << c.id;
    }
    appData.InstallNotchling();
    for (const Case& c : notchling) {
        Reset();
        HandleMenuCommand(nullptr, c.id);
        EXPECT_EQ(RenderedIni(WithValue(c.key, c.value)), appData.ReadConfig()) << c.id;
        EXPECT_EQ(CornerAction::Notchling, c.id == 1102 ? g_settings.topLeft : g_settings.bottomLeft);
    }
}

TEST_F(TrayMenuCommand, IdentifiersOutsideTheTablesChangeNothing) {
    appData.InstallLoftmoor();
    appData.InstallNotchling();
    const WORD ignored[] = {0,    999,  1000, 1004, 1010, 1019, 1040, 1050, 1099, 1111,
                            1115, 1119, 1131, 1139, 1151, 1159, 1171, 1179, 1180, 1181,
                            1200, 2000, 40000, 65535};
    for (WORD id : ignored) {
        Reset();
        HandleMenuCommand(nullptr, id);
        EXPECT_EQ(RenderedIni(kInitialLines), appData.ReadConfig()) << id;
        EXPECT_TRUE(SameSettings(InitialSettings(), g_settings)) << id;
        EXPECT_TRUE(TrackerUntouched()) << id;
    }
}

TEST_F(TrayMenuCommand, RunAtStartupTogglesAndLeavesTheDetectorAlone) {
    HandleMenuCommand(nullptr, IDM_RUN_AT_STARTUP);
    EXPECT_TRUE(g_settings.runAtStartup);
    EXPECT_EQ(RenderedIni(WithValue("RunAtStartup", "1")), appData.ReadConfig());
    EXPECT_TRUE(TrackerUntouched());
    HandleMenuCommand(nullptr, IDM_RUN_AT_STARTUP);
    EXPECT_FALSE(g_settings.runAtStartup);
    EXPECT_EQ(RenderedIni(WithValue("RunAtStartup", "0")), appData.ReadConfig());
    EXPECT_TRUE(TrackerUntouched());
}

TEST_F(TrayMenuCommand, ADeletedFileIsProvisionedAgainWithTheChange) {
    DeleteFileW(appData.ConfigPath().c_str());
    HandleMenuCommand(nullptr, 1029);
    const std::string bytes = appData.ReadConfig();
    EXPECT_EQ(0u, bytes.rfind("\xEF\xBB\xBF", 0));
    EXPECT_NE(std::string::npos, bytes.find("\r\nEdgeZonePx=24\r\n")) << bytes;
    EXPECT_EQ(24, g_settings.edgeZonePx);
}

HWND CreateOwnerWindow() {
    return CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, GetModuleHandleW(nullptr),
                           nullptr);
}

TEST_F(TrayMenuCommand, ExitDestroysTheMainWindow) {
    HWND window = CreateOwnerWindow();
    ASSERT_TRUE(IsWindow(window));
    HandleMenuCommand(window, IDM_EXIT);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(RenderedIni(kInitialLines), appData.ReadConfig());
}

TEST_F(TrayMenuCommand, AboutOpensTheAboutWindowOwnedByTheMainWindow) {
    HWND window = CreateOwnerWindow();
    HandleMenuCommand(window, IDM_ABOUT);
    HWND about = CurrentAboutWindow();
    ASSERT_NE(nullptr, about);
    EXPECT_EQ(window, GetWindow(about, GW_OWNER));
    EXPECT_EQ(RenderedIni(kInitialLines), appData.ReadConfig());
    EXPECT_TRUE(TrackerUntouched());
    DestroyWindow(about);
    DestroyWindow(window);
}

}  // namespace
