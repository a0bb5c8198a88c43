// Menu commands as the main window receives them, checked through the bytes of config.ini, the
// settings in memory and the corner detector.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "corners/CornerTracker.h"
#include "settings/SettingsStore.h"
#include "support/TestSupport.h"
#include "ui/AboutWindow.h"
#include "ui/TrayMenu.h"
#include "ui/TrayMenuTestSupport.h"

namespace {

// Every value differs from what the commands below write; the user's own section must be kept.
const std::vector<std::string> kInitialLines = {
    "[Trigger]", "TopLeft=FramwickWindow", "TopRight=Notchling", "BottomLeft=TaskView", "BottomRight=FramwickOcr",
    "EdgeZonePx=13", "CornerDwellMs=777", "[UI]", "Language=en", "[General]", "RunAtStartup=0", "[Mine]", "Note=kept"};

// The initial file with one line replaced by the line of the same key.
std::string WithLine(const std::string& changed) {
    std::vector<std::string> lines = kInitialLines;
    for (std::string& line : lines) {
        if (line.substr(0, line.find('=') + 1) == changed.substr(0, changed.find('=') + 1)) line = changed;
    }
    return RenderedIni(lines);
}

std::string Summary(const Settings& s) {
    char text[128];
    snprintf(text, sizeof(text), "%d %d %d %d %d %d %d %s", static_cast<int>(s.topLeft), static_cast<int>(s.topRight),
             static_cast<int>(s.bottomLeft), static_cast<int>(s.bottomRight), s.edgeZonePx, s.cornerDwellMs,
             s.runAtStartup, Utf8(s.language).c_str());
    return text;
}

constexpr int kLoftmoor = 1;  // companions installed for a case
constexpr int kNotchling = 2;

TEST(TrayMenuCommand, EachIdentifierStoresItsValueOrIsIgnored) {
    struct Case { WORD id; int installed; const char* line; };  // no line: ignored
    std::vector<Case> cases = {
        {1020, 0, "EdgeZonePx=4"}, {1029, 0, "EdgeZonePx=24"}, {1030, 0, "CornerDwellMs=300"},
        {1039, 0, "CornerDwellMs=1000"}, {1003, 0, "RunAtStartup=1"}, {1100, 0, "TopLeft=TaskView"},
        {1103, 0, "TopLeft=Disabled"}, {1104, 0, "TopLeft=FramwickRegion"}, {1124, 0, "TopRight=FramwickRegion"},
        {1125, 0, "TopRight=FramwickWindow"}, {1146, 0, "BottomLeft=FramwickFullscreen"},
        {1147, 0, "BottomLeft=FramwickFreeform"}, {1128, 0, "TopRight=FramwickOcr"},
        {1169, 0, "BottomRight=FramwickBar"}, {1170, 0, "BottomRight=FramwickScroll"},
        {1163, 0, "BottomRight=Disabled"},
        // Companion items count only while the companion is installed; capture items are taken as they come.
        {1101, kNotchling, nullptr}, {1101, kLoftmoor, "TopLeft=Loftmoor"}, {1161, kLoftmoor, "BottomRight=Loftmoor"},
        {1142, kLoftmoor, nullptr}, {1142, kNotchling, "BottomLeft=Notchling"},
        {IDM_EXIT, 0, nullptr}, {IDM_ABOUT, 0, nullptr}};  // the file stays; their windows are checked below
    for (WORD id : {0, 999, 1000, 1004, 1019, 1040, 1099, 1111, 1119, 1131, 1159, 1171, 1179, 1180, 1200, 65535}) {
        cases.push_back({id, kLoftmoor | kNotchling, nullptr});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.id << " installed " << c.installed);
        GlobalsGuard globals;
        ScratchAppData appData;
        if (c.installed & kLoftmoor) appData.InstallLoftmoor();
        if (c.installed & kNotchling) appData.InstallNotchling();
        ASSERT_TRUE(appData.WriteConfig(RenderedIni(kInitialLines)));
        LoadSettings(false);
        const std::string before = Summary(g_settings);
        g_tracker.scaledZonePx = 77;  // a reset forgets the scaled zone
        HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
        HandleMenuCommand(window, c.id);
        EXPECT_EQ(c.line ? WithLine(c.line) : RenderedIni(kInitialLines), appData.ReadConfig());
        EXPECT_EQ(c.line && c.id != IDM_RUN_AT_STARTUP ? 0 : 77, g_tracker.scaledZonePx) << "detector reset";
        const std::string after = Summary(g_settings);
        EXPECT_EQ(!c.line, before == after) << after;
        LoadSettings(false);
        EXPECT_EQ(Summary(g_settings), after) << "memory holds what the file holds";
        EXPECT_EQ(c.id != IDM_EXIT, IsWindow(window) != FALSE) << "exit destroys the main window";
        HWND about = CurrentAboutWindow();
        EXPECT_EQ(c.id == IDM_ABOUT ? window : nullptr, about ? GetWindow(about, GW_OWNER) : nullptr);
        DestroyWindow(about);
        DestroyWindow(window);
        if (c.id != IDM_RUN_AT_STARTUP) continue;
        HandleMenuCommand(nullptr, c.id);
        EXPECT_EQ(RenderedIni(kInitialLines), appData.ReadConfig()) << "switched back off";
    }
}

}  // namespace
