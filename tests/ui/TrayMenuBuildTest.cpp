// The tray menu as built: order, identifiers, flags, radio marks and titles, read back from the real
// menu with GetMenuItemCount / GetMenuItemInfoW.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <climits>
#include <iterator>
#include <string>
#include <vector>

#include "support/TestSupport.h"
#include "ui/TrayMenu.h"
#include "ui/TrayMenuTestSupport.h"

namespace {

constexpr TrayMenuProbes kNothingInstalled = {false, false, false};
constexpr TrayMenuProbes kEverythingInstalled = {true, true, true};

// Top-level positions of the entries (no submenu creation failed).
constexpr int kHeaderPosition = 0;
constexpr int kTopLeftPosition = 1;
constexpr int kTopRightPosition = 2;
constexpr int kBottomRightPosition = 4;
constexpr int kZonePosition = 6;
constexpr int kDwellPosition = 7;
constexpr int kRunAtStartupPosition = 9;

Settings DefaultSettings() { return Settings{}; }

// The settings of the full menus below: every kind of mark appears once.
Settings FullMenuSettings() {
    Settings s;
    s.topLeft = CornerAction::TaskView;
    s.topRight = CornerAction::FramwickScroll;
    s.bottomLeft = CornerAction::Loftmoor;
    s.bottomRight = CornerAction::Disabled;
    s.edgeZonePx = 24;
    s.cornerDwellMs = 1000;
    s.runAtStartup = true;
    return s;
}

struct BuiltMenu {
    UniqueMenu menu;
    std::vector<MenuItemView> top;
};

BuiltMenu Build(const Settings& settings, UiLanguage language, TrayMenuProbes probes) {
    g_settings = settings;
    BuiltMenu built{BuildTrayMenu(language, probes), {}};
    if (built.menu) built.top = ReadMenuItems(built.menu.get());
    return built;
}

std::vector<MenuItemView> Submenu(const BuiltMenu& built, int position) {
    if (position >= static_cast<int>(built.top.size()) || !built.top[position].submenu) return {};
    return ReadMenuItems(built.top[position].submenu);
}

const MenuItemView* FindById(const std::vector<MenuItemView>& items, UINT id) {
    for (const MenuItemView& item : items) {
        if (!item.submenu && !item.IsSeparator() && item.id == id) return &item;
    }
    return nullptr;
}

const MenuItemView* FindPopup(const std::vector<MenuItemView>& items) {
    for (const MenuItemView& item : items) {
        if (item.submenu) return &item;
    }
    return nullptr;
}

std::vector<UINT> RadioMarkedIds(const std::vector<MenuItemView>& items) {
    std::vector<UINT> ids;
    for (const MenuItemView& item : items) {
        if (!item.submenu && item.IsRadioMarked()) ids.push_back(item.id);
    }
    return ids;
}

void ExpectSameLines(const std::vector<std::wstring>& expected, const std::vector<std::wstring>& actual) {
    ASSERT_EQ(expected.size(), actual.size());
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(expected[i], actual[i]) << "line " << i;
}

// The full English menu for FullMenuSettings with every companion and the capture tool present.
const std::vector<std::wstring> kEnglishFullMenu = {
    L"[disabled] Hot corners #0",
    L"> Top left (Task View)",
    L"  (*) Task View #1100",
    L"  Loftmoor #1101",
    L"  Notchling #1102",
    L"  > FramwickCapture",
    L"    Capture\u2026 #1109",
    L"    Rectangle #1104",
    L"    Window #1105",
    L"    Fullscreen #1106",
    L"    Freeform #1107",
    L"    Scroll \u03B2 #1110",
    L"    Text OCR #1108",
    L"  Disabled #1103",
    L"> Top right (FramwickCapture)",
    L"  Task View #1120",
    L"  Loftmoor #1121",
    L"  Notchling #1122",
    L"  > FramwickCapture",
    L"    Capture\u2026 #1129",
    L"    Rectangle #1124",
    L"    Window #1125",
    L"    Fullscreen #1126",
    L"    Freeform #1127",
    L"    (*) Scroll \u03B2 #1130",
    L"    Text OCR #1128",
    L"  Disabled #1123",
    L"> Bottom left (Loftmoor)",
    L"  Task View #1140",
    L"  (*) Loftmoor #1141",
    L"  Notchling #1142",
    L"  > FramwickCapture",
    L"    Capture\u2026 #1149",
    L"    Rectangle #1144",
    L"    Window #1145",
    L"    Fullscreen #1146",
    L"    Freeform #1147",
    L"    Scroll \u03B2 #1150",
    L"    Text OCR #1148",
    L"  Disabled #1143",
    L"> Bottom right (Disabled)",
    L"  Task View #1160",
    L"  Loftmoor #1161",
    L"  Notchling #1162",
    L"  > FramwickCapture",
    L"    Capture\u2026 #1169",
    L"    Rectangle #1164",
    L"    Window #1165",
    L"    Fullscreen #1166",
    L"    Freeform #1167",
    L"    Scroll \u03B2 #1170",
    L"    Text OCR #1168",
    L"  (*) Disabled #1163",
    L"---",
    L"> Range until detection (24 px)",
    L"  4 px #1020",
    L"  6 px #1021",
    L"  8 px #1022",
    L"  10 px #1023",
    L"  12 px #1024",
    L"  14 px #1025",
    L"  16 px #1026",
    L"  18 px #1027",
    L"  20 px #1028",
    L"  (*) 24 px #1029",
    L"> Time until detection (1000 ms)",
    L"  300 ms #1030",
    L"  350 ms #1031",
    L"  400 ms #1032",
    L"  450 ms #1033",
    L"  500 ms #1034",
    L"  600 ms #1035",
    L"  700 ms #1036",
    L"  800 ms #1037",
    L"  900 ms #1038",
    L"  (*) 1000 ms #1039",
    L"---",
    L"[x] Run at Windows startup #1003",
    L"About this app\u2026 #1002",
    L"---",
    L"Exit Hoverlatch #1001",
};

// The same menu in any language, from the string tables: the structure is the English one above, the
// texts are the language's. The per-language literals below pin the tables themselves.
std::vector<std::wstring> ExpectedFullMenu(UiLanguage language) {
    const bool japanese = language == UiLanguage::Japanese;
    auto title = [&](MenuString corner, const wchar_t* label) {
        return std::wstring(MenuText(language, corner)) + (japanese ? L"\uFF08" : L" (") + label +
               (japanese ? L"\uFF09" : L")");
    };
    auto item = [](bool marked, const std::wstring& text, int id) {
        return std::wstring(marked ? L"(*) " : L"") + text + L" #" + std::to_wstring(id);
    };
    struct CornerRow {
        MenuString name;
        int base;
        CornerAction marked;
    };
    const CornerRow corners[] = {
        {MenuString::TopLeft, 1100, CornerAction::TaskView},
        {MenuString::TopRight, 1120, CornerAction::FramwickScroll},
        {MenuString::BottomLeft, 1140, CornerAction::Loftmoor},
        {MenuString::BottomRight, 1160, CornerAction::Disabled},
    };
    struct CaptureRow {
        CornerAction action;
        int offset;
    };
    const CaptureRow captureItems[] = {
        {CornerAction::FramwickBar, 9},      {CornerAction::FramwickRegion, 4},   {CornerAction::FramwickWindow, 5},
        {CornerAction::FramwickFullscreen, 6}, {CornerAction::FramwickFreeform, 7}, {CornerAction::FramwickScroll, 10},
        {CornerAction::FramwickOcr, 8},
    };

    std::vector<std::wstring> lines;
    lines.push_back(std::wstring(L"[disabled] ") + MenuText(language, MenuString::Header) + L" #0");
    for (const CornerRow& c : corners) {
        const wchar_t* label = c.marked == CornerAction::TaskView   ? TaskViewLabel(language)
                               : c.marked == CornerAction::Loftmoor ? L"Loftmoor"
                               : c.marked == CornerAction::Disabled ? DisabledLabel(language)
                                                                    : L"FramwickCapture";
        lines.push_back(L"> " + title(c.name, label));
        lines.push_back(L"  " + item(c.marked == CornerAction::TaskView, TaskViewLabel(language), c.base));
        lines.push_back(L"  " + item(c.marked == CornerAction::Loftmoor, L"Loftmoor", c.base + 1));
        lines.push_back(L"  " + item(false, L"Notchling", c.base + 2));
        lines.push_back(L"  > FramwickCapture");
        for (const CaptureRow& capture : captureItems) {
            lines.push_back(L"    " + item(c.marked == capture.action, CaptureModeLabel(language, capture.action),
                                           c.base + capture.offset));
        }
        lines.push_back(L"  " + item(c.marked == CornerAction::Disabled, DisabledLabel(language), c.base + 3));
    }
    lines.push_back(L"---");
    const int zones[] = {4, 6, 8, 10, 12, 14, 16, 18, 20, 24};
    const int dwells[] = {300, 350, 400, 450, 500, 600, 700, 800, 900, 1000};
    lines.push_back(std::wstring(L"> ") + MenuText(language, MenuString::ZoneTitle) + L" (24 px)");
    for (int i = 0; i < 10; ++i) lines.push_back(L"  " + item(i == 9, std::to_wstring(zones[i]) + L" px", 1020 + i));
    lines.push_back(std::wstring(L"> ") + MenuText(language, MenuString::DwellTitle) + L" (1000 ms)");
    for (int i = 0; i < 10; ++i) lines.push_back(L"  " + item(i == 9, std::to_wstring(dwells[i]) + L" ms", 1030 + i));
    lines.push_back(L"---");
    lines.push_back(std::wstring(L"[x] ") + MenuText(language, MenuString::RunAtStartup) + L" #1003");
    lines.push_back(std::wstring(MenuText(language, MenuString::About)) + L" #1002");
    lines.push_back(L"---");
    lines.push_back(std::wstring(MenuText(language, MenuString::Exit)) + L" #1001");
    return lines;
}

TEST(TrayMenuBuild, EnglishFullMenuMatchesTheTablesLineByLine) {
    GlobalsGuard globals;
    BuiltMenu built = Build(FullMenuSettings(), UiLanguage::English, kEverythingInstalled);
    ASSERT_TRUE(built.menu);
    ExpectSameLines(kEnglishFullMenu, MenuLines(built.menu.get()));
    // The generator used for the other languages reproduces the English golden menu.
    ExpectSameLines(kEnglishFullMenu, ExpectedFullMenu(UiLanguage::English));
}

struct LanguageCase {
    UiLanguage language;
    const wchar_t* header;
    const wchar_t* topLeftTitle;  // top-left corner showing Task View
    const wchar_t* zoneEntry;     // zone title with the current 24 px
    const wchar_t* scrollLabel;
};

const LanguageCase kLanguageCases[] = {
    {UiLanguage::Japanese, L"\u30DB\u30C3\u30C8\u30B3\u30FC\u30CA\u30FC",
     L"\u5DE6\u4E0A\uFF08\u30BF\u30B9\u30AF\u30D3\u30E5\u30FC\uFF09",
     L"\u691C\u51FA\u307E\u3067\u306E\u7BC4\u56F2 (24 px)", L"\u30B9\u30AF\u30ED\u30FC\u30EB\u03B2"},
    {UiLanguage::English, L"Hot corners", L"Top left (Task View)", L"Range until detection (24 px)", L"Scroll \u03B2"},
    {UiLanguage::Korean, L"\uD56B \uCF54\uB108", L"\uC88C\uC0C1\uB2E8 (\uC791\uC5C5 \uBCF4\uAE30)",
     L"\uAC10\uC9C0\uAE4C\uC9C0\uC758 \uBC94\uC704 (24 px)", L"\uC2A4\uD06C\uB864 \u03B2"},
    {UiLanguage::ChineseSimplified, L"\u5C4F\u5E55\u8FB9\u89D2", L"\u5DE6\u4E0A (\u4EFB\u52A1\u89C6\u56FE)",
     L"\u68C0\u6D4B\u524D\u7684\u8303\u56F4 (24 px)", L"\u6EDA\u52A8 \u03B2"},
    {UiLanguage::ChineseTraditional, L"\u87A2\u5E55\u89D2\u843D", L"\u5DE6\u4E0A (\u5DE5\u4F5C\u6AA2\u8996)",
     L"\u5075\u6E2C\u524D\u7684\u7BC4\u570D (24 px)", L"\u6372\u52D5 \u03B2"},
    {UiLanguage::French, L"Coins actifs", L"Haut gauche (Vue des t\u00E2ches)", L"Zone avant d\u00E9tection (24 px)",
     L"D\u00E9filement \u03B2"},
    {UiLanguage::Italian, L"Angoli attivi", L"In alto a sinistra (Visualizzazione attivit\u00E0)",
     L"Area prima del rilevamento (24 px)", L"Scorrimento \u03B2"},
    {UiLanguage::German, L"Aktive Ecken", L"Oben links (Aufgabenansicht)", L"Bereich bis zur Erkennung (24 px)",
     L"Scrollen \u03B2"},
    {UiLanguage::Spanish, L"Esquinas activas", L"Arriba izquierda (Vista de tareas)",
     L"\u00C1rea antes de la detecci\u00F3n (24 px)", L"Desplazamiento \u03B2"},
};

TEST(TrayMenuBuild, EachLanguageFullMenuMatchesItsStringTables) {
    GlobalsGuard globals;
    for (const LanguageCase& c : kLanguageCases) {
        SCOPED_TRACE(static_cast<int>(c.language));
        BuiltMenu built = Build(FullMenuSettings(), c.language, kEverythingInstalled);
        ASSERT_TRUE(built.menu);
        const std::vector<std::wstring> lines = MenuLines(built.menu.get());
        ExpectSameLines(ExpectedFullMenu(c.language), lines);
        ASSERT_EQ(kEnglishFullMenu.size(), lines.size());
        EXPECT_EQ(std::wstring(L"[disabled] ") + c.header + L" #0", lines[0]);
        EXPECT_EQ(std::wstring(L"> ") + c.topLeftTitle, lines[1]);
        EXPECT_EQ(std::wstring(L"    ") + c.scrollLabel + L" #1110", lines[11]);
        EXPECT_EQ(std::wstring(L"> ") + c.zoneEntry, lines[54]);
    }
}

TEST(TrayMenuBuild, TopLevelFlagsHeaderSeparatorsAndCheckMark) {
    GlobalsGuard globals;
    for (bool runAtStartup : {true, false}) {
        Settings settings = DefaultSettings();
        settings.runAtStartup = runAtStartup;
        BuiltMenu built = Build(settings, UiLanguage::English, kNothingInstalled);
        ASSERT_EQ(13u, built.top.size());
        const MenuItemView& header = built.top[kHeaderPosition];
        EXPECT_EQ(0u, header.id);
        EXPECT_TRUE(header.state & MF_DISABLED);
        EXPECT_FALSE(header.state & MF_GRAYED) << "the header is disabled, not grayed";
        for (int position : {5, 8, 11}) EXPECT_TRUE(built.top[position].IsSeparator()) << position;
        for (int position : {1, 2, 3, 4, 6, 7}) EXPECT_NE(nullptr, built.top[position].submenu) << position;
        const MenuItemView& run = built.top[kRunAtStartupPosition];
        EXPECT_EQ(IDM_RUN_AT_STARTUP, run.id);
        EXPECT_EQ(runAtStartup, run.IsChecked());
        EXPECT_FALSE(run.type & MFT_RADIOCHECK) << "a plain check mark";
        EXPECT_EQ(IDM_ABOUT, built.top[10].id);
        EXPECT_EQ(IDM_EXIT, built.top[12].id);
        for (int position : {10, 12}) EXPECT_EQ(0u, built.top[position].state) << position;
    }
}

TEST(TrayMenuBuild, CaptureActionWithoutTheToolShowsDisabledAndKeepsTheStoredValue) {
    GlobalsGuard globals;
    Settings settings = DefaultSettings();
    settings.topLeft = CornerAction::FramwickWindow;
    BuiltMenu built = Build(settings, UiLanguage::English, kNothingInstalled);
    EXPECT_EQ(L"Top left (Disabled)", built.top[kTopLeftPosition].text);
    const std::vector<MenuItemView> items = Submenu(built, kTopLeftPosition);
    ASSERT_EQ(2u, items.size());  // Task View and Disabled only
    EXPECT_EQ(nullptr, FindPopup(items)) << "no capture entry";
    EXPECT_EQ(std::vector<UINT>{1103}, RadioMarkedIds(items));
    EXPECT_EQ(CornerAction::FramwickWindow, g_settings.topLeft);
}

TEST(TrayMenuBuild, ScrollWithTheToolMarksOnlyTheCaptureItem) {
    GlobalsGuard globals;
    Settings settings = DefaultSettings();
    settings.topLeft = CornerAction::FramwickScroll;
    BuiltMenu built = Build(settings, UiLanguage::English, {false, false, true});
    EXPECT_EQ(L"Top left (FramwickCapture)", built.top[kTopLeftPosition].text);
    const std::vector<MenuItemView> items = Submenu(built, kTopLeftPosition);
    EXPECT_TRUE(RadioMarkedIds(items).empty()) << "no mark among the corner submenu's own items";
    for (const MenuItemView& item : items) EXPECT_FALSE(item.IsChecked()) << item.id;
    const MenuItemView* capture = FindPopup(items);
    ASSERT_NE(nullptr, capture);
    EXPECT_EQ(L"FramwickCapture", capture->text);
    const std::vector<MenuItemView> modes = ReadMenuItems(capture->submenu);
    EXPECT_EQ(std::vector<UINT>{1110}, RadioMarkedIds(modes));
    EXPECT_EQ(L"Scroll \u03B2", FindById(modes, 1110)->text);
}

// Every capture action puts the mark on its own item, the first and last items included (their
// identifiers are not in item order).
TEST(TrayMenuBuild, EveryCaptureActionMarksItsItem) {
    GlobalsGuard globals;
    struct Case {
        CornerAction action;
        UINT markedId;  // top-right block
        int position;   // in the capture submenu
    };
    const Case cases[] = {
        {CornerAction::FramwickBar, 1129, 0},        {CornerAction::FramwickRegion, 1124, 1},
        {CornerAction::FramwickWindow, 1125, 2},     {CornerAction::FramwickFullscreen, 1126, 3},
        {CornerAction::FramwickFreeform, 1127, 4},   {CornerAction::FramwickScroll, 1130, 5},
        {CornerAction::FramwickOcr, 1128, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.action));
        Settings settings = DefaultSettings();
        settings.topRight = c.action;
        BuiltMenu built = Build(settings, UiLanguage::English, kEverythingInstalled);
        const std::vector<MenuItemView> items = Submenu(built, kTopRightPosition);
        EXPECT_TRUE(RadioMarkedIds(items).empty());
        const MenuItemView* capture = FindPopup(items);
        ASSERT_NE(nullptr, capture);
        const std::vector<MenuItemView> modes = ReadMenuItems(capture->submenu);
        ASSERT_EQ(7u, modes.size());
        EXPECT_EQ(std::vector<UINT>{c.markedId}, RadioMarkedIds(modes));
        EXPECT_EQ(c.markedId, modes[c.position].id);
        EXPECT_EQ(L"Top right (FramwickCapture)", built.top[kTopRightPosition].text);
    }
}

TEST(TrayMenuBuild, CompanionActionWithoutTheCompanionShowsDisabledWithoutItsItem) {
    GlobalsGuard globals;
    struct Case {
        CornerAction stored;
        TrayMenuProbes probes;
        const wchar_t* title;
        std::vector<UINT> ids;  // items of the bottom-right submenu, in order
        UINT marked;
    };
    const Case cases[] = {
        {CornerAction::Loftmoor, {false, true, false}, L"Bottom right (Disabled)", {1160, 1162, 1163}, 1163},
        {CornerAction::Notchling, {true, false, false}, L"Bottom right (Disabled)", {1160, 1161, 1163}, 1163},
        {CornerAction::Loftmoor, {true, false, false}, L"Bottom right (Loftmoor)", {1160, 1161, 1163}, 1161},
        {CornerAction::Notchling, {false, true, false}, L"Bottom right (Notchling)", {1160, 1162, 1163}, 1162},
        {CornerAction::TaskView, {false, false, false}, L"Bottom right (Task View)", {1160, 1163}, 1160},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(c.stored) << " " << c.probes.loftmoorInstalled);
        Settings settings = DefaultSettings();
        settings.bottomRight = c.stored;
        BuiltMenu built = Build(settings, UiLanguage::English, c.probes);
        EXPECT_EQ(c.title, built.top[kBottomRightPosition].text);
        std::vector<UINT> ids;
        for (const MenuItemView& item : Submenu(built, kBottomRightPosition)) ids.push_back(item.id);
        EXPECT_EQ(c.ids, ids);
        EXPECT_EQ(std::vector<UINT>{c.marked}, RadioMarkedIds(Submenu(built, kBottomRightPosition)));
        EXPECT_EQ(c.stored, g_settings.bottomRight);
    }
    // Without Loftmoor no item anywhere in the menu carries a Loftmoor identifier.
    Settings settings = DefaultSettings();
    settings.topLeft = CornerAction::Loftmoor;
    BuiltMenu built = Build(settings, UiLanguage::English, {false, true, true});
    for (const MenuItemView& item : LeafItems(built.menu.get())) {
        EXPECT_NE(L"Loftmoor", item.text);
        if (item.id >= IDM_CORNER_FIRST) {
            EXPECT_NE(1u, (item.id - IDM_CORNER_FIRST) % 20) << item.id;
        }
    }
}

TEST(TrayMenuBuild, ValueListsShowTheCurrentValueAndMarkTheFirstItemWhenUnlisted) {
    GlobalsGuard globals;
    struct Case {
        int zone;
        int dwell;
        const wchar_t* zoneTitle;
        const wchar_t* dwellTitle;
        UINT zoneMark;
        UINT dwellMark;
    };
    const Case cases[] = {
        {13, 350, L"Range until detection (13 px)", L"Time until detection (350 ms)", 1020, 1031},
        {12, 999, L"Range until detection (12 px)", L"Time until detection (999 ms)", 1024, 1030},
        {4, 300, L"Range until detection (4 px)", L"Time until detection (300 ms)", 1020, 1030},
        {20, 900, L"Range until detection (20 px)", L"Time until detection (900 ms)", 1028, 1038},
        {28, 1000, L"Range until detection (28 px)", L"Time until detection (1000 ms)", 1020, 1039},
        {-7, INT_MIN, L"Range until detection (-7 px)", L"Time until detection (-2147483648 ms)", 1020, 1030},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.zone);
        Settings settings = DefaultSettings();
        settings.edgeZonePx = c.zone;
        settings.cornerDwellMs = c.dwell;
        BuiltMenu built = Build(settings, UiLanguage::English, kNothingInstalled);
        EXPECT_EQ(c.zoneTitle, built.top[kZonePosition].text);
        EXPECT_EQ(c.dwellTitle, built.top[kDwellPosition].text);
        EXPECT_EQ(std::vector<UINT>{c.zoneMark}, RadioMarkedIds(Submenu(built, kZonePosition)));
        EXPECT_EQ(std::vector<UINT>{c.dwellMark}, RadioMarkedIds(Submenu(built, kDwellPosition)));
    }
}

TEST(TrayMenuBuild, CornerTitlesUseFullWidthParenthesesInJapaneseOnly) {
    GlobalsGuard globals;
    Settings settings = DefaultSettings();
    settings.topLeft = CornerAction::TaskView;
    settings.topRight = CornerAction::Disabled;
    struct Case {
        UiLanguage language;
        const wchar_t* topLeft;
        const wchar_t* topRight;
    };
    const Case cases[] = {
        {UiLanguage::Japanese, L"\u5DE6\u4E0A\uFF08\u30BF\u30B9\u30AF\u30D3\u30E5\u30FC\uFF09",
         L"\u53F3\u4E0A\uFF08\u7121\u52B9\uFF09"},
        {UiLanguage::Korean, L"\uC88C\uC0C1\uB2E8 (\uC791\uC5C5 \uBCF4\uAE30)",
         L"\uC6B0\uC0C1\uB2E8 (\uC0AC\uC6A9 \uC548 \uD568)"},
        {UiLanguage::ChineseSimplified, L"\u5DE6\u4E0A (\u4EFB\u52A1\u89C6\u56FE)", L"\u53F3\u4E0A (\u7981\u7528)"},
        // Values outside the enumeration fall back to English.
        {static_cast<UiLanguage>(9), L"Top left (Task View)", L"Top right (Disabled)"},
        {static_cast<UiLanguage>(-1), L"Top left (Task View)", L"Top right (Disabled)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.language));
        BuiltMenu built = Build(settings, c.language, kNothingInstalled);
        EXPECT_EQ(c.topLeft, built.top[kTopLeftPosition].text);
        EXPECT_EQ(c.topRight, built.top[kTopRightPosition].text);
    }
}

// The identifier table of a corner block, in both directions, for every corner.
TEST(TrayMenuBuild, CornerBlockOffsetsFollowTheirOwnTable) {
    struct Row {
        int offset;
        CornerAction action;
    };
    const Row rows[] = {
        {0, CornerAction::TaskView},          {1, CornerAction::Loftmoor},        {2, CornerAction::Notchling},
        {3, CornerAction::Disabled},          {4, CornerAction::FramwickRegion},  {5, CornerAction::FramwickWindow},
        {6, CornerAction::FramwickFullscreen}, {7, CornerAction::FramwickFreeform}, {8, CornerAction::FramwickOcr},
        {9, CornerAction::FramwickBar},       {10, CornerAction::FramwickScroll},
    };
    struct Block {
        Corner corner;
        WORD base;
    };
    const Block blocks[] = {{Corner::TopLeft, 1100}, {Corner::TopRight, 1120}, {Corner::BottomLeft, 1140},
                            {Corner::BottomRight, 1160}};
    for (const Block& block : blocks) {
        EXPECT_EQ(block.base, CornerMenuBase(block.corner));
        for (const Row& row : rows) {
            const WORD id = static_cast<WORD>(block.base + row.offset);
            EXPECT_EQ(id, CornerCommandFor(block.corner, row.action));
            Corner corner = Corner::BottomRight;
            CornerAction action = CornerAction::Disabled;
            ASSERT_TRUE(DecodeCornerCommand(id, &corner, &action)) << id;
            EXPECT_EQ(block.corner, corner) << id;
            EXPECT_EQ(row.action, action) << id;
        }
    }
    for (WORD id : {0, 999, 1000, 1001, 1003, 1020, 1039, 1099, 1111, 1119, 1131, 1159, 1171, 1179, 1180, 1200, 65535}) {
        EXPECT_FALSE(DecodeCornerCommand(static_cast<WORD>(id), nullptr, nullptr)) << id;
    }
}

TEST(TrayMenuBuild, DisplayedActionHidesWhatIsNotThere) {
    struct Case {
        CornerAction stored;
        TrayMenuProbes probes;
        CornerAction shown;
    };
    const Case cases[] = {
        {CornerAction::Loftmoor, {false, true, true}, CornerAction::Disabled},
        {CornerAction::Loftmoor, {true, false, false}, CornerAction::Loftmoor},
        {CornerAction::Notchling, {true, false, true}, CornerAction::Disabled},
        {CornerAction::Notchling, {false, true, false}, CornerAction::Notchling},
        {CornerAction::FramwickOcr, {true, true, false}, CornerAction::Disabled},
        {CornerAction::FramwickBar, {false, false, true}, CornerAction::FramwickBar},
        {CornerAction::TaskView, {false, false, false}, CornerAction::TaskView},
        {CornerAction::Disabled, {true, true, true}, CornerAction::Disabled},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.shown, DisplayedCornerAction(c.stored, c.probes)) << static_cast<int>(c.stored);
    }
}

// Each format writes into a buffer of its size and cuts what does not fit; the bytes after the
// capacity stay untouched.
TEST(TrayMenuBuild, TextsAreCutAtTheirBufferSizeNeverOverrun) {
    const std::wstring longText(300, L'x');
    struct Case {
        size_t capacity;
        int kind;  // 0 value, 1 title with value, 2 corner title
    };
    const Case cases[] = {{kMenuValueTextCapacity, 0}, {kZoneTitleCapacity, 1}, {kDwellTitleCapacity, 1},
                          {kCornerTitleCapacity, 2},   {3, 0},                  {1, 2},
                          {0, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.capacity << " " << c.kind);
        wchar_t buffer[200];
        std::fill(std::begin(buffer), std::end(buffer), L'#');
        if (c.kind == 0) FormatMenuValue(buffer, c.capacity, INT_MIN, longText.c_str());
        if (c.kind == 1) FormatMenuTitleWithValue(buffer, c.capacity, longText.c_str(), 24, L" px");
        if (c.kind == 2) FormatCornerTitle(buffer, c.capacity, UiLanguage::Japanese, longText.c_str(), L"x");
        for (size_t i = c.capacity; i < std::size(buffer); ++i) ASSERT_EQ(L'#', buffer[i]) << i;
        if (c.capacity == 0) continue;
        EXPECT_EQ(c.capacity - 1, wcslen(buffer));
    }
    wchar_t value[kMenuValueTextCapacity];
    FormatMenuValue(value, std::size(value), INT_MIN, L" ms");
    EXPECT_STREQ(L"-2147483648 ms", value);
    wchar_t corner[kCornerTitleCapacity];
    FormatCornerTitle(corner, std::size(corner), UiLanguage::Japanese, L"\u5DE6\u4E0A", L"\u7121\u52B9");
    EXPECT_STREQ(L"\u5DE6\u4E0A\uFF08\u7121\u52B9\uFF09", corner);
    FormatCornerTitle(corner, 6, UiLanguage::English, L"Top left", L"Disabled");
    EXPECT_STREQ(L"Top l", corner);
}

TEST(TrayMenuBuild, LongCornerNameIsCutInTheRealMenu) {
    GlobalsGuard globals;
    g_settings = DefaultSettings();
    UniqueMenu parent(CreatePopupMenu());
    const std::wstring name(400, L'n');
    EXPECT_TRUE(AppendCornerSubmenu(parent.get(), UiLanguage::English, Corner::TopLeft, name.c_str(), false, false,
                                    false));
    const std::vector<MenuItemView> items = ReadMenuItems(parent.get());
    ASSERT_EQ(1u, items.size());
    EXPECT_EQ(name.substr(0, kCornerTitleCapacity - 1), items[0].text);
}

// Records every menu the tray menu creates, and fails the creations whose 1-based number is listed.
struct MenuCreationLog {
    static std::vector<HMENU>& Created() {
        static std::vector<HMENU> created;
        return created;
    }
    static std::vector<int>& Failing() {
        static std::vector<int> failing;
        return failing;
    }
    static int& Calls() {
        static int calls = 0;
        return calls;
    }
    static HMENU WINAPI Create() {
        const int call = ++Calls();
        for (int failing : Failing()) {
            if (failing == call) return nullptr;
        }
        HMENU menu = CreatePopupMenu();
        Created().push_back(menu);
        return menu;
    }
    static void Start(std::vector<int> failing) {
        Created().clear();
        Failing() = std::move(failing);
        Calls() = 0;
        g_platform.createPopupMenu = &Create;
    }
};

TEST(TrayMenuBuild, FailedSubmenusLeaveTheirEntryOutAndNothingLeaks) {
    GlobalsGuard globals;
    PlatformGuard platform;
    g_settings = DefaultSettings();
    // Creation order with the capture tool present: top, then per corner its menu and its capture
    // menu (top left 2, 3; top right 4, 5; bottom left 6, 7; bottom right 8, 9), zone 10, dwell 11.
    // A corner whose own menu fails asks for no capture menu, so the later numbers move up by one.
    struct Case {
        std::vector<int> failing;
        std::vector<std::wstring> topTexts;  // entries of the top-level menu, separators as "---"
        int topLeftItems;                    // items of the top-left submenu when present
    };
    const std::wstring header = L"Hot corners";
    const std::wstring tl = L"Top left (Disabled)", tr = L"Top right (Task View)";
    const std::wstring bl = L"Bottom left (Disabled)", br = L"Bottom right (Disabled)";
    const std::wstring zone = L"Range until detection (12 px)", dwell = L"Time until detection (350 ms)";
    const std::wstring run = L"Run at Windows startup", about = L"About this app\u2026", exit = L"Exit Hoverlatch";
    const Case cases[] = {
        {{}, {header, tl, tr, bl, br, L"---", zone, dwell, L"---", run, about, L"---", exit}, 5},
        {{2}, {header, tr, bl, br, L"---", zone, dwell, L"---", run, about, L"---", exit}, 0},
        {{3}, {header, tl, tr, bl, br, L"---", zone, dwell, L"---", run, about, L"---", exit}, 4},
        {{10}, {header, tl, tr, bl, br, L"---", dwell, L"---", run, about, L"---", exit}, 5},
        {{11}, {header, tl, tr, bl, br, L"---", zone, L"---", run, about, L"---", exit}, 5},
        {{2, 3, 4, 5, 6, 7}, {header, L"---", L"---", run, about, L"---", exit}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "failing " << (c.failing.empty() ? 0 : c.failing[0]));
        MenuCreationLog::Start(c.failing);
        UniqueMenu menu = BuildTrayMenu(UiLanguage::English, {true, true, true});
        ASSERT_TRUE(menu);
        std::vector<std::wstring> texts;
        for (const MenuItemView& item : ReadMenuItems(menu.get())) {
            texts.push_back(item.IsSeparator() ? L"---" : item.text);
        }
        EXPECT_EQ(c.topTexts, texts);
        if (c.topLeftItems > 0) {
            EXPECT_EQ(c.topLeftItems, GetMenuItemCount(ReadMenuItems(menu.get())[1].submenu));
        }
        for (HMENU created : MenuCreationLog::Created()) EXPECT_TRUE(IsMenu(created));
        menu.reset();
        for (HMENU created : MenuCreationLog::Created()) EXPECT_FALSE(IsMenu(created)) << "leaked";
    }
    MenuCreationLog::Start({1});
    EXPECT_FALSE(BuildTrayMenu(UiLanguage::English, {true, true, true})) << "no top-level menu, no menu at all";
    EXPECT_EQ(1, MenuCreationLog::Calls()) << "nothing else is built";
}

}  // namespace
