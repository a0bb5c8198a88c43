#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "app/Handles.h"
#include "settings/SettingsStore.h"
#include "support/TestSupport.h"

namespace {

constexpr LONG kPackaged = ERROR_INSUFFICIENT_BUFFER;  // 122: the process has package identity
constexpr LONG kNotPackaged = 15700;                   // APPMODEL_ERROR_NO_PACKAGE

std::wstring g_appDataFolder;
std::wstring g_startupFolder;
LONG g_packageAnswer = kNotPackaged;

struct ThreadLanguageCall {
    DWORD flags;
    bool hasList;
    std::wstring firstEntry;
    bool doubleZeroEnded;
};
std::vector<ThreadLanguageCall> g_threadLanguageCalls;
BOOL g_threadLanguageResult = TRUE;

HRESULT WINAPI FakeFolderPath(HWND, int csidl, HANDLE, DWORD, LPWSTR path) {
    const std::wstring* folder = nullptr;
    switch (csidl & 0xFF) {
    case CSIDL_APPDATA: folder = &g_appDataFolder; break;
    case CSIDL_STARTUP: folder = &g_startupFolder; break;
    default: return E_FAIL;
    }
    // Reported without the final backslash, as the shell does.
    wcscpy_s(path, MAX_PATH, folder->substr(0, folder->size() - 1).c_str());
    return S_OK;
}

LONG WINAPI FakePackageFullName(UINT32* length, PWSTR) {
    if (g_packageAnswer == kPackaged && length) *length = 40;
    return g_packageAnswer;
}

BOOL WINAPI FakeSetThreadLanguages(DWORD flags, PCZZWSTR list, PULONG) {
    ThreadLanguageCall call{flags, list != nullptr, {}, false};
    if (list) {
        call.firstEntry = list;
        call.doubleZeroEnded = list[call.firstEntry.size() + 1] == L'\0';
    }
    g_threadLanguageCalls.push_back(call);
    return g_threadLanguageResult;
}

// A scratch roaming folder and Startup folder for one test, with the run kind and the thread's
// language preference under the test's control.
struct SettingsWorld {
    PlatformGuard platform;
    GlobalsGuard globals;
    ScratchFolder scratch;

    SettingsWorld() {
        g_appDataFolder = scratch / L"Roaming\\";
        g_startupFolder = scratch / L"Startup\\";
        CreateDirectoryW(g_appDataFolder.c_str(), nullptr);
        CreateDirectoryW(g_startupFolder.c_str(), nullptr);
        g_packageAnswer = kNotPackaged;
        g_threadLanguageCalls.clear();
        g_threadLanguageResult = TRUE;
        g_platform.shGetFolderPathW = &FakeFolderPath;
        g_platform.getCurrentPackageFullName = &FakePackageFullName;
        g_platform.setThreadPreferredUILanguages = &FakeSetThreadLanguages;
        g_settings = Settings{};
    }

    std::wstring ProgramFolder() const { return g_appDataFolder + L"quenby\\Hoverlatch\\"; }
    std::wstring ConfigPath() const { return ProgramFolder() + L"config.ini"; }
    std::wstring ShortcutPath() const { return g_startupFolder + L"Hoverlatch.lnk"; }

    void WriteConfig(const std::string& bytes) const {
        CreateDirectoryW((g_appDataFolder + L"quenby").c_str(), nullptr);
        CreateDirectoryW(ProgramFolder().c_str(), nullptr);
        ASSERT_TRUE(WriteBytes(ConfigPath(), bytes));
    }
    std::string Config() const { return ReadBytes(ConfigPath()); }
};

constexpr char kMark[] = "\xEF\xBB\xBF";  // every saved file starts with the UTF-8 mark

// Sets the file's last-write time far into the past, so that any rewrite shows in the time as well.
void AgeFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    SYSTEMTIME past = {2001, 1, 1, 1, 12, 0, 0, 0};
    FILETIME time{};
    SystemTimeToFileTime(&past, &time);
    SetFileTime(file, nullptr, nullptr, &time);
    CloseHandle(file);
}

ULONGLONG LastWriteTime(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<ULONGLONG>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
}

// ---------------------------------------------------------------------------------------------
// Numbers and flags

struct NumberCase {
    const char* line;  // section header and key line
    int32_t edgeZonePx;
    int32_t cornerDwellMs;
    bool runAtStartup;
};

TEST(SettingsLoad, NumbersAreReadLikeWcstolAndClamped) {
    SettingsWorld world;
    constexpr NumberCase cases[] = {
        {"[Trigger]\r\nEdgeZonePx=2", 4, 350, false},
        {"[Trigger]\r\nEdgeZonePx=100", 28, 350, false},
        {"[Trigger]\r\nEdgeZonePx=16px", 16, 350, false},
        {"[Trigger]\r\nEdgeZonePx=px16", 12, 350, false},
        {"[Trigger]\r\nEdgeZonePx=", 12, 350, false},
        {"[Trigger]\r\nEdgeZonePx=+9", 9, 350, false},
        {"[Trigger]\r\nEdgeZonePx=-", 12, 350, false},
        {"[Trigger]\r\nEdgeZonePx=20 ; wider", 20, 350, false},
        {"[Trigger]\r\nEdgeZonePx=99999999999", 28, 350, false},
        {"[Trigger]\r\nEdgeZonePx=4", 4, 350, false},
        {"[Trigger]\r\nEdgeZonePx=28", 28, 350, false},
        {"[Trigger]\r\nCornerDwellMs=-5", 12, 300, false},
        {"[Trigger]\r\nCornerDwellMs=99999999999", 12, 1000, false},
        {"[Trigger]\r\nCornerDwellMs=-99999999999", 12, 300, false},
        {"[Trigger]\r\nCornerDwellMs=4294967646", 12, 1000, false},  // 2^32 + 350 must not wrap to 350
        {"[Trigger]\r\nCornerDwellMs=500", 12, 500, false},
        {"[Trigger]\r\nCornerDwellMs=soon", 12, 350, false},
        {"[General]\r\nRunAtStartup=yes", 12, 350, false},
        {"[General]\r\nRunAtStartup=2", 12, 350, true},
        {"[General]\r\nRunAtStartup=1", 12, 350, true},
        {"[General]\r\nRunAtStartup=-1", 12, 350, true},
        {"[General]\r\nRunAtStartup=0", 12, 350, false},
        {"[General]\r\nRunAtStartup=", 12, 350, false},
        {"[General]\r\nRunAtStartup=0x1", 12, 350, false},
        {"[General]\r\nRunAtStartup=99999999999", 12, 350, true},
        // Section names match with case: a lower-case header is another section.
        {"[trigger]\r\nEdgeZonePx=20\r\nCornerDwellMs=900", 12, 350, false},
    };
    for (const NumberCase& c : cases) {
        SCOPED_TRACE(c.line);
        world.WriteConfig(c.line);
        g_settings = Settings{};
        LoadSettings(false);
        EXPECT_EQ(g_settings.edgeZonePx, c.edgeZonePx);
        EXPECT_EQ(g_settings.cornerDwellMs, c.cornerDwellMs);
        EXPECT_EQ(g_settings.runAtStartup, c.runAtStartup);
    }
}

// ---------------------------------------------------------------------------------------------
// Corner actions

struct CornerCase {
    const char* file;  // nullptr: no file at all
    LONG packageAnswer;
    CornerAction topLeft, topRight, bottomLeft, bottomRight;
};

TEST(SettingsLoad, CornerActionsWithRunKindDefaults) {
    SettingsWorld world;
    using A = CornerAction;
    const CornerCase cases[] = {
        // A missing TopRight key depends on the run kind; the other corners default to Disabled.
        {"[Trigger]\r\nTopLeft=Notchling", kNotPackaged, A::Notchling, A::TaskView, A::Disabled, A::Disabled},
        {"[Trigger]\r\nTopLeft=Notchling", kPackaged, A::Notchling, A::Disabled, A::Disabled, A::Disabled},
        {nullptr, kNotPackaged, A::Disabled, A::TaskView, A::Disabled, A::Disabled},
        {nullptr, kPackaged, A::Disabled, A::Disabled, A::Disabled, A::Disabled},
        // A TopRight key present with an empty value is Disabled in both runs.
        {"[Trigger]\r\nTopRight=", kNotPackaged, A::Disabled, A::Disabled, A::Disabled, A::Disabled},
        {"[Trigger]\r\nTopRight=", kPackaged, A::Disabled, A::Disabled, A::Disabled, A::Disabled},
        {"[Trigger]\r\nTopLeft=tessawell\r\nTopRight=FRAMWICKOCR\r\nBottomLeft=FramwickBar\r\nBottomRight=Loftmoor",
         kNotPackaged, A::Loftmoor, A::FramwickOcr, A::FramwickBar, A::Loftmoor},
        // A remark after an action name makes the whole value unknown.
        {"[Trigger]\r\nTopRight=TaskView ; hot", kNotPackaged, A::Disabled, A::Disabled, A::Disabled, A::Disabled},
        {"[trigger]\r\nTopRight=Disabled\r\nTopLeft=TaskView", kPackaged, A::Disabled, A::Disabled, A::Disabled,
         A::Disabled},
        {"[trigger]\r\nTopRight=Disabled\r\nTopLeft=TaskView", kNotPackaged, A::Disabled, A::TaskView, A::Disabled,
         A::Disabled},
    };
    for (const CornerCase& c : cases) {
        SCOPED_TRACE(std::string(c.file ? c.file : "(no file)") + (c.packageAnswer == kPackaged ? " packaged" : ""));
        DeleteFileW(world.ConfigPath().c_str());
        if (c.file) world.WriteConfig(c.file);
        g_packageAnswer = c.packageAnswer;
        g_settings = Settings{};
        LoadSettings(false);
        EXPECT_EQ(g_settings.topLeft, c.topLeft);
        EXPECT_EQ(g_settings.topRight, c.topRight);
        EXPECT_EQ(g_settings.bottomLeft, c.bottomLeft);
        EXPECT_EQ(g_settings.bottomRight, c.bottomRight);
    }
    // Loading reads only: no file appears where there was none.
    DeleteFileW(world.ConfigPath().c_str());
    LoadSettings(false);
    EXPECT_FALSE(FileExists(world.ConfigPath()));
}

// ---------------------------------------------------------------------------------------------
// Interface language

struct LanguageCase {
    std::string value;           // the Language line's value, UTF-8
    std::wstring expectedField;  // what Settings keeps
    const wchar_t* expectedTag;  // handed to the thread, or nullptr when the preference is cleared
};

TEST(SettingsLoad, LanguageIsTrimmedCutAndAppliedToTheThread) {
    SettingsWorld world;
    const std::string seventy(70, 'x');
    const LanguageCase cases[] = {
        {"de", L"de", L"de-DE"},
        {"\t JAPANESE \t", L"JAPANESE", L"ja-JP"},
        {"zh-hant", L"zh-hant", L"zh-TW"},
        {"chinese", L"chinese", L"zh-CN"},
        {"", L"", nullptr},
        {" \t  \t", L"", nullptr},
        {"en-GB", L"en-GB", nullptr},
        {"ja_JP", L"ja_JP", nullptr},
        {seventy, std::wstring(63, L'x'), nullptr},
        // Only spaces and tabs are blanks; a no-break space stays and the name no longer matches.
        {"\xC2\xA0" "fr", L"\u00A0fr", nullptr},
    };
    for (const LanguageCase& c : cases) {
        SCOPED_TRACE(c.value);
        world.WriteConfig("[UI]\r\nLanguage=" + c.value);
        g_threadLanguageCalls.clear();
        LoadSettings(false);
        EXPECT_EQ(std::wstring(g_settings.language), c.expectedField);
        ASSERT_EQ(g_threadLanguageCalls.size(), 1u);
        const ThreadLanguageCall& call = g_threadLanguageCalls[0];
        if (c.expectedTag) {
            EXPECT_EQ(call.flags, static_cast<DWORD>(MUI_LANGUAGE_NAME));
            ASSERT_TRUE(call.hasList);
            EXPECT_EQ(call.firstEntry, c.expectedTag);
            EXPECT_TRUE(call.doubleZeroEnded);
        } else {
            EXPECT_EQ(call.flags, 0u);
            EXPECT_FALSE(call.hasList);
        }
    }
}

TEST(SettingsLoad, ARefusedLanguageClearsThePreference) {
    SettingsWorld world;
    world.WriteConfig("[UI]\r\nLanguage=it");
    g_threadLanguageResult = FALSE;
    LoadSettings(false);
    ASSERT_EQ(g_threadLanguageCalls.size(), 2u);
    EXPECT_EQ(g_threadLanguageCalls[0].firstEntry, L"it-IT");
    EXPECT_EQ(g_threadLanguageCalls[1].flags, 0u);
    EXPECT_FALSE(g_threadLanguageCalls[1].hasList);
}

// ---------------------------------------------------------------------------------------------
// Run at startup and the corner detector

TEST(SettingsLoad, OnlyTheStartUpLoadPutsRunAtStartupIntoEffect) {
    SettingsWorld world;
    world.WriteConfig("[General]\r\nRunAtStartup=0");
    ASSERT_TRUE(WriteBytes(world.ShortcutPath(), "stale shortcut"));
    LoadSettings(false);
    EXPECT_TRUE(FileExists(world.ShortcutPath())) << "a menu reload must not touch the Startup folder";
    LoadSettings(true);
    EXPECT_FALSE(FileExists(world.ShortcutPath())) << "start-up applies the stored off";
}

TEST(SettingsLoad, ResetsTheCornerDetector) {
    SettingsWorld world;
    world.WriteConfig("[Trigger]\r\nEdgeZonePx=20");
    g_tracker.dwellActive = true;
    g_tracker.fired = true;
    g_tracker.scaledZonePx = 99;
    g_tracker.cachedEdgeZonePx = 12;
    LoadSettings(false);
    EXPECT_FALSE(g_tracker.dwellActive);
    EXPECT_EQ(g_tracker.scaledZonePx, 0);
}

// ---------------------------------------------------------------------------------------------
// Files that exist but cannot be read

// More than the 512 KiB a load accepts, but a perfectly good configuration at its start.
std::string OversizedConfig() {
    std::string text = "[Trigger]\r\nTopLeft=FramwickOcr\r\nTopRight=Disabled\r\n[General]\r\nRunAtStartup=1\r\n";
    text += "[Notes]\r\n";
    while (text.size() <= 600 * 1024) text += "Line=" + std::string(100, 'n') + "\r\n";
    return text;
}

TEST(UnreadableConfig, OversizedFileIsNeverRewritten) {
    SettingsWorld world;
    const std::string original = OversizedConfig();
    world.WriteConfig(original);
    AgeFile(world.ConfigPath());
    const ULONGLONG written = LastWriteTime(world.ConfigPath());

    StoreSetting(L"Trigger", L"BottomLeft", L"TaskView");
    EnsureLanguageKey();
    LoadSettings(false);
    LoadSettings(true);

    EXPECT_TRUE(world.Config() == original) << "the file was replaced";
    EXPECT_EQ(LastWriteTime(world.ConfigPath()), written);
    EXPECT_FALSE(FileExists(world.ConfigPath() + L".tmp"));
}

TEST(UnreadableConfig, LockedFileIsNeverRewritten) {
    SettingsWorld world;
    const std::string original = "[Trigger]\r\nTopLeft=FramwickOcr\r\n; the user's note\r\n[General]\r\nRunAtStartup=1";
    world.WriteConfig(original);
    AgeFile(world.ConfigPath());
    const ULONGLONG written = LastWriteTime(world.ConfigPath());
    {
        // Another program holds the file without letting anyone read it.
        UniqueFile lock(CreateFileW(world.ConfigPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(lock);
        StoreSetting(L"Trigger", L"BottomLeft", L"TaskView");
        EnsureLanguageKey();
        LoadSettings(true);
    }
    EXPECT_EQ(world.Config(), original);
    EXPECT_EQ(LastWriteTime(world.ConfigPath()), written);
    EXPECT_FALSE(FileExists(world.ConfigPath() + L".tmp"));
}

TEST(UnreadableConfig, StartUpKeepsTheStartupShortcutItCannotJudge) {
    SettingsWorld world;
    world.WriteConfig(OversizedConfig());  // says RunAtStartup=1, but cannot be read
    ASSERT_TRUE(WriteBytes(world.ShortcutPath(), "the user's shortcut"));
    LoadSettings(true);
    EXPECT_TRUE(FileExists(world.ShortcutPath()));
    // Nothing better than the defaults is known at start-up.
    EXPECT_EQ(g_settings.topLeft, CornerAction::Disabled);
    EXPECT_EQ(g_settings.topRight, CornerAction::TaskView);
}

TEST(UnreadableConfig, AReloadKeepsTheSettingsInMemory) {
    SettingsWorld world;
    world.WriteConfig("[Trigger]\r\nTopLeft=FramwickOcr\r\nTopRight=Disabled\r\nEdgeZonePx=20\r\n[UI]\r\nLanguage=fr");
    LoadSettings(false);
    ASSERT_EQ(g_settings.topLeft, CornerAction::FramwickOcr);

    world.WriteConfig(OversizedConfig());
    LoadSettings(false);
    EXPECT_EQ(g_settings.topLeft, CornerAction::FramwickOcr);
    EXPECT_EQ(g_settings.topRight, CornerAction::Disabled);
    EXPECT_EQ(g_settings.edgeZonePx, 20);
    EXPECT_EQ(std::wstring(g_settings.language), L"fr");
    // The thread keeps the language that is still in force.
    ASSERT_FALSE(g_threadLanguageCalls.empty());
    EXPECT_EQ(g_threadLanguageCalls.back().firstEntry, L"fr-FR");
}

TEST(UnreadableConfig, AnEmptyFileHoldsNothingToProtect) {
    SettingsWorld world;
    world.WriteConfig("");
    StoreSetting(L"Trigger", L"TopLeft", L"TaskView");
    EXPECT_EQ(world.Config(), std::string(kMark) + "[Trigger]\r\nTopLeft=TaskView");
    world.WriteConfig("\xEF\xBB\xBF");
    StoreSetting(L"Trigger", L"TopLeft", L"TaskView");
    EXPECT_EQ(world.Config(), std::string(kMark) + "[Trigger]\r\nTopLeft=TaskView");
    world.WriteConfig("");
    EnsureLanguageKey();
    EXPECT_EQ(world.Config(), std::string(kMark) + "[UI]\r\nLanguage=");
}

// ---------------------------------------------------------------------------------------------
// Conversion of the old Corners value

struct LegacyParseCase {
    const wchar_t* text;
    LegacyCornerMask mask;
};

TEST(LegacyCorners, ParsesTokensAndLongForms) {
    const std::wstring longText = std::wstring(254, L' ') + L",TL";  // the token starts after unit 255
    const std::wstring justFits = std::wstring(252, L' ') + L",TL";  // ends at unit 255
    const LegacyParseCase cases[] = {
        {nullptr, 0},
        {L"", 0},
        {L"TL", 8},
        {L"TR", 4},
        {L"BL", 2},
        {L"BR", 1},
        {L"TopLeft,TopRight,BottomLeft,BottomRight", 15},
        {L"tl,br", 9},
        {L" tl ,, Br ,,,", 9},
        {L"\tTR\t", 4},
        {L"bottomleft", 2},
        {L",,,", 0},
        {L"T L", 0},
        {L"TopLeftX", 0},
        {L"TR;", 0},
        {L"x, TL, y", 8},
        {L"TL,TL", 8},
        {longText.c_str(), 0},
        {justFits.c_str(), 8},
    };
    for (const LegacyParseCase& c : cases) {
        EXPECT_EQ(ParseLegacyCorners(c.text), c.mask) << (c.text ? Utf8(c.text) : "null");
    }
}

struct MigrationCase {
    const char* before;  // file content, without mark
    const char* after;   // expected file content after a load, nullptr: the file is left untouched
    CornerAction topLeft, topRight, bottomLeft, bottomRight;
};

TEST(LegacyCorners, LoadConvertsTheOldValueOnce) {
    SettingsWorld world;
    using A = CornerAction;
    const MigrationCase cases[] = {
        {"[Trigger]\r\nCorners=TL, BR",
         "[Trigger]\r\nCorners=TL, BR\r\nTopLeft=TaskView\r\nTopRight=Disabled\r\nBottomLeft=Disabled\r\n"
         "BottomRight=TaskView",
         A::TaskView, A::Disabled, A::Disabled, A::TaskView},
        {"[Trigger]\r\nCorners=",
         "[Trigger]\r\nCorners=\r\nTopLeft=Disabled\r\nTopRight=TaskView\r\nBottomLeft=Disabled\r\nBottomRight=Disabled",
         A::Disabled, A::TaskView, A::Disabled, A::Disabled},
        {"[Trigger]\r\nCorners=left, top",
         "[Trigger]\r\nCorners=left, top\r\nTopLeft=Disabled\r\nTopRight=TaskView\r\nBottomLeft=Disabled\r\n"
         "BottomRight=Disabled",
         A::Disabled, A::TaskView, A::Disabled, A::Disabled},
        // An existing TopLeft keeps its place and takes the converted value.
        {"[Trigger]\r\nTopLeft=FramwickOcr\r\nCorners=BR\r\n[UI]\r\nLanguage=de",
         "[Trigger]\r\nTopLeft=Disabled\r\nCorners=BR\r\nTopRight=Disabled\r\nBottomLeft=Disabled\r\n"
         "BottomRight=TaskView\r\n[UI]\r\nLanguage=de",
         A::Disabled, A::Disabled, A::Disabled, A::TaskView},
        {"; old file\r\n[Trigger]\r\nCorners= tl ,, Br \r\nEdgeZonePx=8",
         "[Trigger]\r\nCorners=tl ,, Br\r\nEdgeZonePx=8\r\nTopLeft=TaskView\r\nTopRight=Disabled\r\n"
         "BottomLeft=Disabled\r\nBottomRight=TaskView",
         A::TaskView, A::Disabled, A::Disabled, A::TaskView},
        // With TopRight present the per-corner keys win and nothing is written, even with TopLeft missing.
        {"[Trigger]\r\nCorners=TL,BL\r\nTopRight=Notchling", nullptr, A::Disabled, A::Notchling, A::Disabled,
         A::Disabled},
        // Corners in another section, or none at all: nothing to convert.
        {"[General]\r\nCorners=TL", nullptr, A::Disabled, A::TaskView, A::Disabled, A::Disabled},
        {"[Trigger]\r\nTopLeft=TaskView", nullptr, A::TaskView, A::TaskView, A::Disabled, A::Disabled},
    };
    for (const MigrationCase& c : cases) {
        SCOPED_TRACE(c.before);
        world.WriteConfig(c.before);
        AgeFile(world.ConfigPath());
        const ULONGLONG written = LastWriteTime(world.ConfigPath());
        g_settings = Settings{};
        LoadSettings(false);
        EXPECT_EQ(g_settings.topLeft, c.topLeft);
        EXPECT_EQ(g_settings.topRight, c.topRight);
        EXPECT_EQ(g_settings.bottomLeft, c.bottomLeft);
        EXPECT_EQ(g_settings.bottomRight, c.bottomRight);
        if (!c.after) {
            EXPECT_EQ(world.Config(), c.before);
            EXPECT_EQ(LastWriteTime(world.ConfigPath()), written);
            continue;
        }
        const std::string converted = world.Config();
        EXPECT_EQ(converted, std::string(kMark) + c.after);
        // Converted once: the next load finds TopRight and leaves the file alone.
        AgeFile(world.ConfigPath());
        const ULONGLONG convertedTime = LastWriteTime(world.ConfigPath());
        LoadSettings(false);
        EXPECT_EQ(world.Config(), converted);
        EXPECT_EQ(LastWriteTime(world.ConfigPath()), convertedTime);
    }
}

// ---------------------------------------------------------------------------------------------
// The Language key

TEST(LanguageKey, AnOldFileGainsAFinalUiSectionOnce) {
    SettingsWorld world;
    world.WriteConfig("; comment\r\n[Trigger]\r\nTopRight=TaskView\r\n\r\n[General]\r\nRunAtStartup=1\r\n");
    EnsureLanguageKey();
    const std::string expected =
        std::string(kMark) + "[Trigger]\r\nTopRight=TaskView\r\n[General]\r\nRunAtStartup=1\r\n[UI]\r\nLanguage=";
    EXPECT_EQ(world.Config(), expected);

    AgeFile(world.ConfigPath());
    const ULONGLONG written = LastWriteTime(world.ConfigPath());
    EnsureLanguageKey();
    EXPECT_EQ(world.Config(), expected);
    EXPECT_EQ(LastWriteTime(world.ConfigPath()), written);
}

TEST(LanguageKey, AUiSectionWithoutTheKeyGetsItAtItsEnd) {
    SettingsWorld world;
    world.WriteConfig("[UI]\r\nTheme=dark\r\n[Trigger]\r\nTopLeft=TaskView");
    EnsureLanguageKey();
    EXPECT_EQ(world.Config(), std::string(kMark) + "[UI]\r\nTheme=dark\r\nLanguage=\r\n[Trigger]\r\nTopLeft=TaskView");
}

TEST(LanguageKey, AFileWithTheKeyIsNotRewritten) {
    SettingsWorld world;
    for (const char* original : {"; keep me\r\n[UI]\r\nLanguage=de\r\n", "[UI]\r\nLanguage=\r\n[Trigger]\r\n",
                                 "[General]\r\nRunAtStartup=1\r\n[UI]\r\nLanguage = en ; mine"}) {
        SCOPED_TRACE(original);
        world.WriteConfig(original);
        AgeFile(world.ConfigPath());
        const ULONGLONG written = LastWriteTime(world.ConfigPath());
        EnsureLanguageKey();
        EXPECT_EQ(world.Config(), original);
        EXPECT_EQ(LastWriteTime(world.ConfigPath()), written);
    }
}

TEST(LanguageKey, AKeyOfAnotherCaseDoesNotCount) {
    SettingsWorld world;
    world.WriteConfig("[ui]\r\nlanguage=de");
    EnsureLanguageKey();
    EXPECT_EQ(world.Config(), std::string(kMark) + "[ui]\r\nlanguage=de\r\n[UI]\r\nLanguage=");
}

// ---------------------------------------------------------------------------------------------
// Storing one setting

TEST(StoreSetting, ChangesOneKeyAndKeepsHandEdits) {
    SettingsWorld world;
    world.WriteConfig("[Trigger]\r\nTopLeft=Disabled\r\nTopRight=TaskView\r\n; note\r\n[Custom]\r\nMine=1 ; kept");
    StoreSetting(L"Trigger", L"TopLeft", L"FramwickScroll");
    EXPECT_EQ(world.Config(),
              std::string(kMark) + "[Trigger]\r\nTopLeft=FramwickScroll\r\nTopRight=TaskView\r\n[Custom]\r\nMine=1 ; kept");
    StoreSetting(L"General", L"RunAtStartup", L"1");
    EXPECT_EQ(world.Config(), std::string(kMark) +
                                  "[Trigger]\r\nTopLeft=FramwickScroll\r\nTopRight=TaskView\r\n[Custom]\r\nMine=1 ; "
                                  "kept\r\n[General]\r\nRunAtStartup=1");
}

TEST(StoreSetting, ADeletedFileIsProvisionedAgainBeforeTheChange) {
    SettingsWorld world;
    ASSERT_FALSE(FileExists(world.ConfigPath()));
    StoreSetting(L"Trigger", L"EdgeZonePx", L"20");
    const std::string content = world.Config();
    EXPECT_NE(content.find("EdgeZonePx=20"), std::string::npos) << content;
    // The rest of the file is the default configuration, not just the one key.
    EXPECT_NE(content.find("CornerDwellMs=350"), std::string::npos) << content;
    EXPECT_NE(content.find("[General]"), std::string::npos) << content;
    LoadSettings(false);
    EXPECT_EQ(g_settings.edgeZonePx, 20);
    EXPECT_EQ(g_settings.topRight, CornerAction::TaskView);
}

TEST(StoreSetting, MissingArgumentsWriteNothing) {
    SettingsWorld world;
    const std::string original = "; note\r\n[Trigger]\r\nTopLeft=TaskView";
    world.WriteConfig(original);
    StoreSetting(nullptr, L"TopLeft", L"Disabled");
    StoreSetting(L"Trigger", nullptr, L"Disabled");
    StoreSetting(L"Trigger", L"TopLeft", nullptr);
    EXPECT_EQ(world.Config(), original);
}

}  // namespace
