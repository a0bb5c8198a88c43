// The tray menu as built, read back from the real menu: item order, identifiers, flags, marks and titles.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "support/TestSupport.h"
#include "ui/TrayMenu.h"
#include "ui/TrayMenuTestSupport.h"

namespace {

using Lines = std::vector<std::wstring>;

Lines BuildLines(const Settings& settings, UiLanguage language, TrayMenuProbes probes) {
    g_settings = settings;
    UniqueMenu menu = BuildTrayMenu(language, probes);
    return menu ? MenuLines(menu.get()) : Lines{};
}

// The top-level entry `entry` and every line below it; empty when the entry is missing.
Lines EntryBlock(const Lines& lines, const std::wstring& entry) {
    auto at = std::find(lines.begin(), lines.end(), entry);
    if (at == lines.end()) return {};
    Lines block = {*at};
    while (++at != lines.end() && at->rfind(L"  ", 0) == 0) block.push_back(*at);
    return block;
}

// Expected full menu in any language, texts from the string tables: Task View, FramwickScroll, Loftmoor
// and Disabled on the four corners, 24 px, 1000 ms, run at startup on, everything installed.
Lines ExpectedFullMenu(UiLanguage language) {
    using A = CornerAction;
    const bool japanese = language == UiLanguage::Japanese;
    auto text = [language](MenuString which) { return std::wstring(MenuText(language, which)); };
    auto item = [](bool marked, const std::wstring& label, int id) {
        return (marked ? L"(*) " : L"") + label + L" #" + std::to_wstring(id);
    };
    struct Row { MenuString name; int base; A marked; const wchar_t* label; };
    const Row corners[] = {{MenuString::TopLeft, 1100, A::TaskView, TaskViewLabel(language)},
                           {MenuString::TopRight, 1120, A::FramwickScroll, L"FramwickCapture"},
                           {MenuString::BottomLeft, 1140, A::Loftmoor, L"Loftmoor"},
                           {MenuString::BottomRight, 1160, A::Disabled, DisabledLabel(language)}};
    // The capture items top to bottom, with their offsets in a corner block.
    const std::pair<A, int> captures[] = {{A::FramwickBar, 9},      {A::FramwickRegion, 4},   {A::FramwickWindow, 5},
                                          {A::FramwickFullscreen, 6}, {A::FramwickFreeform, 7}, {A::FramwickScroll, 10},
                                          {A::FramwickOcr, 8}};
    Lines lines = {L"[disabled] " + text(MenuString::Header) + L" #0"};
    for (const Row& c : corners) {
        lines.push_back(L"> " + text(c.name) + (japanese ? L"\uFF08" : L" (") + c.label +
                        (japanese ? L"\uFF09" : L")"));
        lines.push_back(L"  " + item(c.marked == A::TaskView, TaskViewLabel(language), c.base));
        lines.push_back(L"  " + item(c.marked == A::Loftmoor, L"Loftmoor", c.base + 1));
        lines.push_back(L"  " + item(false, L"Notchling", c.base + 2));
        lines.push_back(L"  > FramwickCapture");
        for (const auto& [action, offset] : captures) {
            lines.push_back(L"    " + item(c.marked == action, CaptureModeLabel(language, action), c.base + offset));
        }
        lines.push_back(L"  " + item(c.marked == A::Disabled, DisabledLabel(language), c.base + 3));
    }
    const int zones[] = {4, 6, 8, 10, 12, 14, 16, 18, 20, 24};
    const int dwells[] = {300, 350, 400, 450, 500, 600, 700, 800, 900, 1000};
    lines.insert(lines.end(), {L"---", L"> " + text(MenuString::ZoneTitle) + L" (24 px)"});
    for (int i = 0; i < 10; ++i) lines.push_back(L"  " + item(i == 9, std::to_wstring(zones[i]) + L" px", 1020 + i));
    lines.push_back(L"> " + text(MenuString::DwellTitle) + L" (1000 ms)");
    for (int i = 0; i < 10; ++i) lines.push_back(L"  " + item(i == 9, std::to_wstring(dwells[i]) + L" ms", 1030 + i));
    lines.insert(lines.end(), {L"---", L"[x] " + item(false, text(MenuString::RunAtStartup), 1003),
                               item(false, text(MenuString::About), 1002), L"---",
                               item(false, text(MenuString::Exit), 1001)});
    return lines;
}

TEST(TrayMenuBuild, EachLanguageFullMenuMatchesItsStringTables) {
    GlobalsGuard globals;
    // The top-left title by code points: a wrong table row or parenthesis style shows here.
    const std::pair<UiLanguage, const wchar_t*> cases[] = {
        {UiLanguage::Japanese, L"\u5DE6\u4E0A\uFF08\u30BF\u30B9\u30AF\u30D3\u30E5\u30FC\uFF09"},
        {UiLanguage::English, L"Top left (Task View)"}, {UiLanguage::German, L"Oben links (Aufgabenansicht)"},
        {UiLanguage::Korean, L"\uC88C\uC0C1\uB2E8 (\uC791\uC5C5 \uBCF4\uAE30)"},
        {UiLanguage::ChineseSimplified, L"\u5DE6\u4E0A (\u4EFB\u52A1\u89C6\u56FE)"},
        {UiLanguage::ChineseTraditional, L"\u5DE6\u4E0A (\u5DE5\u4F5C\u6AA2\u8996)"},
        {UiLanguage::French, L"Haut gauche (Vue des t\u00E2ches)"},
        {UiLanguage::Italian, L"In alto a sinistra (Visualizzazione attivit\u00E0)"},
        {UiLanguage::Spanish, L"Arriba izquierda (Vista de tareas)"},
    };
    const Settings settings{.topLeft = CornerAction::TaskView, .topRight = CornerAction::FramwickScroll,
                            .bottomLeft = CornerAction::Loftmoor, .bottomRight = CornerAction::Disabled,
                            .edgeZonePx = 24, .cornerDwellMs = 1000, .runAtStartup = true};
    for (const auto& [language, topLeft] : cases) {
        SCOPED_TRACE(static_cast<int>(language));
        const Lines lines = BuildLines(settings, language, {true, true, true});
        EXPECT_EQ(ExpectedFullMenu(language), lines);
        ASSERT_GT(lines.size(), 1u);
        EXPECT_EQ(L"> " + std::wstring(topLeft), lines[1]);
    }
}

TEST(TrayMenuBuild, CornerEntryShowsOnlyWhatIsInstalled) {
    GlobalsGuard globals;
    struct Case { CornerAction stored; TrayMenuProbes probes; Lines entry; };
    const Case cases[] = {
        {CornerAction::FramwickWindow, {false, false, false},
         {L"> Top left (Disabled)", L"  Task View #1100", L"  (*) Disabled #1103"}},
        {CornerAction::Loftmoor, {false, true, false},
         {L"> Top left (Disabled)", L"  Task View #1100", L"  Notchling #1102", L"  (*) Disabled #1103"}},
        {CornerAction::Notchling, {true, false, false},
         {L"> Top left (Disabled)", L"  Task View #1100", L"  Loftmoor #1101", L"  (*) Disabled #1103"}},
        {CornerAction::Notchling, {false, true, false},
         {L"> Top left (Notchling)", L"  Task View #1100", L"  (*) Notchling #1102", L"  Disabled #1103"}},
    };
    for (const Case& c : cases) {
        const Lines lines = BuildLines({.topLeft = c.stored}, UiLanguage::English, c.probes);
        EXPECT_EQ(c.entry, EntryBlock(lines, c.entry[0])) << static_cast<int>(c.stored);
        EXPECT_EQ(c.stored, g_settings.topLeft) << "the stored action is kept";
        for (const std::wstring& line : lines) {
            EXPECT_TRUE(c.probes.loftmoorInstalled || line.find(L"Loftmoor") == std::wstring::npos) << Utf8(line);
        }
    }
    // With the tool, every capture action marks its own item and nothing else; the title does not name the
    // mode. Capture items are not in identifier order: the first and last must take the mark too.
    const std::pair<CornerAction, int> marks[] = {
        {CornerAction::FramwickBar, 1109},        {CornerAction::FramwickRegion, 1104},
        {CornerAction::FramwickWindow, 1105},     {CornerAction::FramwickFullscreen, 1106},
        {CornerAction::FramwickFreeform, 1107},   {CornerAction::FramwickScroll, 1110},
        {CornerAction::FramwickOcr, 1108}};
    for (const auto& [action, id] : marks) {
        Lines marked;
        for (const std::wstring& line : EntryBlock(BuildLines({.topLeft = action}, UiLanguage::English,
                                                              {false, false, true}), L"> Top left (FramwickCapture)")) {
            if (line.find(L"(*)") != std::wstring::npos) marked.push_back(line);
        }
        ASSERT_EQ(1u, marked.size()) << id;
        EXPECT_TRUE(marked[0].starts_with(L"    (*) ") && marked[0].ends_with(L" #" + std::to_wstring(id))) << id;
    }
}

TEST(TrayMenuBuild, ValueEntriesShowTheCurrentValueAndMarkTheFirstItemWhenUnlisted) {
    GlobalsGuard globals;
    const std::tuple<int, int, Lines> cases[] = {  // zone, dwell: both entries, each followed by its mark
        {13, 350, {L"> Range until detection (13 px)", L"  (*) 4 px #1020", L"> Time until detection (350 ms)",
                   L"  (*) 350 ms #1031"}},
        {20, 999, {L"> Range until detection (20 px)", L"  (*) 20 px #1028", L"> Time until detection (999 ms)",
                   L"  (*) 300 ms #1030"}},
    };
    for (const auto& [zone, dwell, expected] : cases) {
        Lines shown;
        const Settings settings{.edgeZonePx = zone, .cornerDwellMs = dwell};
        for (const std::wstring& line : BuildLines(settings, UiLanguage::English, {})) {
            const bool value = line.find(L" px") != std::wstring::npos || line.find(L" ms") != std::wstring::npos;
            if (value && (line[0] == L'>' || line.find(L"(*)") != std::wstring::npos)) shown.push_back(line);
            // Run at startup is off: no check mark.
            EXPECT_TRUE(line.find(L"Run at") == std::wstring::npos || line == L"Run at Windows startup #1003");
        }
        EXPECT_EQ(expected, shown);
    }
}

}  // namespace
