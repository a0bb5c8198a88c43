#include <gtest/gtest.h>

#include <tuple>

#include "platform/Handles.h"
#include "settings/Companions.h"
#include "settings/Provisioning.h"
#include "settings/SettingsStore.h"
#include "storage/IniTestHelpers.h"
#include "storage/Paths.h"

namespace {

constexpr LONG kPackaged = ERROR_INSUFFICIENT_BUFFER;  // the package-name query's answer under package identity
constexpr LONG kNotPackaged = APPMODEL_ERROR_NO_PACKAGE;
std::wstring g_root;
LONG g_package;

// A scratch folder answering for every shell folder and holding bin\Hoverlatch.exe; the run kind is the test's.
struct World {
    PlatformGuard platform;
    GlobalsGuard globals;
    ScratchFolder scratch;
    const std::wstring config = scratch / L"quenby\\Hoverlatch\\config.ini";

    explicit World(LONG package = kNotPackaged) {
        g_root = scratch.path();
        g_package = package;
        g_platform.shGetFolderPathW = [](HWND, int, HANDLE, DWORD, LPWSTR out) {
            return wcscpy(out, g_root.c_str()), S_OK;
        };
        g_platform.getModuleFileNameW = [](HMODULE, LPWSTR out, DWORD size) {
            return static_cast<DWORD>(swprintf(out, size, L"%lsbin\\Hoverlatch.exe", g_root.c_str()));
        };
        g_platform.getCurrentPackageFullName = [](UINT32*, PWSTR) { return g_package; };
    }
    // Makes the folders first; a final backslash makes only the folders.
    bool Write(const std::wstring& path, const std::string& bytes) const {
        CreateDirectoryChain(path.substr(0, path.find_last_of(L'\\') + 1));
        return path.back() == L'\\' || WriteBytes(path, bytes);
    }
    // Held open without sharing: unreadable for everyone else.
    UniqueFile Lock() const { return UniqueFile(CreateFileW(config.c_str(), GENERIC_READ, 0, 0, OPEN_EXISTING, 0, 0)); }
};

// Numbers read like wcstol and clamped; a missing TopRight depends on the run kind, an empty one is off.
TEST(SettingsLoad, NumbersAndTopRightDefault) {
    using enum CornerAction;
    const struct { const char* file; LONG package; int32_t edge, dwell; bool run; CornerAction topRight; } cases[] = {
        {"[Trigger]\r\nEdgeZonePx=2", kNotPackaged, 4, 350, false, TaskView},
        {"[Trigger]\r\nEdgeZonePx=100", kNotPackaged, 28, 350, false, TaskView},
        {"[Trigger]\r\nEdgeZonePx=16px", kNotPackaged, 16, 350, false, TaskView},
        {"[Trigger]\r\nEdgeZonePx=px16", kNotPackaged, 12, 350, false, TaskView},
        {"[Trigger]\r\nCornerDwellMs=-5", kNotPackaged, 12, 300, false, TaskView},
        {"[Trigger]\r\nCornerDwellMs=4294967646", kNotPackaged, 12, 1000, false, TaskView},  // 2^32 + 350
        {"[General]\r\nRunAtStartup=yes", kNotPackaged, 12, 350, false, TaskView},
        {"[General]\r\nRunAtStartup=2", kNotPackaged, 12, 350, true, TaskView},
        {"[General]\r\nRunAtStartup=2", kPackaged, 12, 350, true, Disabled},
        {"[Trigger]\r\nTopRight=", kNotPackaged, 12, 350, false, Disabled},
    };
    for (const auto& c : cases) {
        World world(c.package);
        ASSERT_TRUE(world.Write(world.config, c.file));
        LoadSettings(false);
        const Settings& s = g_settings;
        EXPECT_EQ(std::tuple(s.edgeZonePx, s.cornerDwellMs, s.runAtStartup, s.topRight),
                  std::tuple(c.edge, c.dwell, c.run, c.topRight)) << c.file << c.package;
    }
}

TEST(SettingsLoad, OldCornersValueIsConvertedOnce) {
    World world;
    const std::string tlbr = "TopLeft=TaskView\r\nTopRight=Disabled\r\nBottomLeft=Disabled\r\nBottomRight=TaskView";
    const std::string none = "TopLeft=Disabled\r\nTopRight=TaskView\r\nBottomLeft=Disabled\r\nBottomRight=Disabled";
    const std::pair<const char*, std::string> cases[] = {  // file before; after, or "" when left as it was
        {"[Trigger]\r\nCorners=TL, BR", "[Trigger]\r\nCorners=TL, BR\r\n" + tlbr},
        {"[Trigger]\r\nCorners=", "[Trigger]\r\nCorners=\r\n" + none},
        {"[Trigger]\r\nCorners=left, top", "[Trigger]\r\nCorners=left, top\r\n" + none},
        {"[Trigger]\r\nCorners= tl ,, bR ,", "[Trigger]\r\nCorners=tl ,, bR ,\r\n" + tlbr},
        {"[Trigger]\r\nCorners=TL,BL\r\nTopRight=Notchling", ""},
        {"[Trigger]\r\nTopLeft=FramwickOcr\r\nCorners=TL,BR",
         "[Trigger]\r\nTopLeft=TaskView\r\nCorners=TL,BR\r\n" + tlbr.substr(tlbr.find("TopRight"))},
    };
    for (const auto& [before, after] : cases) {
        ASSERT_TRUE(world.Write(world.config, before));
        LoadSettings(false);
        const std::string expected = after.empty() ? before : "\xEF\xBB\xBF" + after;
        EXPECT_EQ(ReadBytes(world.config), expected);
        LoadSettings(false);  // converted once: the second load leaves the file as it is
        EXPECT_EQ(ReadBytes(world.config), expected);
        EXPECT_EQ(g_settings.bottomRight == CornerAction::TaskView, after.ends_with("BottomRight=TaskView")) << before;
    }
}

TEST(LanguageKey, AddedOnceAsAFinalUiSectionNeverRewritingAFileWithTheKey) {
    World world;
    const std::string body = "[Trigger]\r\nTopRight=TaskView\r\n[General]\r\nRunAtStartup=1\r\n";
    const std::string withKey = "; keep\r\n[UI]\r\nLanguage = de ; mine";
    ASSERT_TRUE(world.Write(world.config, "; c\r\n" + body));
    for (int call = 0; call < 2; ++call) {
        EnsureLanguageKey();
        EXPECT_EQ(ReadBytes(world.config), "\xEF\xBB\xBF" + body + "[UI]\r\nLanguage=") << call;
    }
    ASSERT_TRUE(WriteBytes(world.config, withKey));
    EnsureLanguageKey();
    EXPECT_EQ(ReadBytes(world.config), withKey);
}

TEST(UnreadableConfig, ExistingFileIsNeverRewritten) {
    for (const bool large : {false, true}) {  // else held open
        World world;
        const std::string original = "[Trigger]\r\nTopLeft=Loftmoor\r\n; mine" + std::string(large ? 1 << 20 : 0, ';');
        ASSERT_TRUE(world.Write(world.config, original));
        UniqueFile lock = large ? UniqueFile() : world.Lock();
        StoreSetting(L"Trigger", L"BottomLeft", L"TaskView");
        EnsureLanguageKey();
        LoadSettings(true);
        lock.reset();
        EXPECT_TRUE(ReadBytes(world.config) == original) << large;
    }
}

// An unreadable file says nothing about the user's choices: a menu reload keeps the settings in memory,
// and start-up does not put the default "off" into effect over the user's Startup shortcut.
TEST(UnreadableConfig, KeepsTheChoicesInMemoryAndTheStartupShortcut) {
    World world;
    const std::wstring shortcut = world.scratch / L"Hoverlatch.lnk";  // the fake answers every folder alike
    ASSERT_TRUE(WriteBytes(shortcut, "user's shortcut"));
    ASSERT_TRUE(world.Write(world.config, "[Trigger]\r\nTopLeft=FramwickOcr\r\n[General]\r\nRunAtStartup=1"));
    LoadSettings(false);
    const UniqueFile lock = world.Lock();
    LoadSettings(false);
    EXPECT_EQ(g_settings.topLeft, CornerAction::FramwickOcr);
    LoadSettings(true);
    EXPECT_TRUE(FileExists(shortcut));
}

TEST(Provisioning, FirstRunSources) {
    const std::string defaultTemplate = Utf16Bytes(L"; default\r\n[Trigger]\r\nTopLeft=Notchling", true);
    const std::string plainTemplate = "; plain\r\n[Trigger]\r\nTopLeft=Loftmoor\r\n";
    const std::string packaged = "\xEF\xBB\xBF[Trigger]\r\nTopLeft=Disabled\r\nTopRight=Disabled\r\n"
                                 "BottomLeft=Disabled\r\nBottomRight=Disabled\r\nEdgeZonePx=12\r\nCornerDwellMs=350\r\n"
                                 "[UI]\r\nLanguage=\r\n[General]\r\nRunAtStartup=0";
    // Templates beside the executable; existing at the config path: L"" an empty file, L"\\" a folder.
    const struct { bool withDefault, withIni; const wchar_t* existing; LONG package; std::string expected; } cases[] = {
        {false, false, nullptr, kNotPackaged, DefaultConfigResource()},  // resource 103 byte for byte
        {false, true, nullptr, kNotPackaged, plainTemplate},
        {true, true, nullptr, kNotPackaged, defaultTemplate},  // config.default.ini wins
        {true, false, L"", kPackaged, ""},                      // an existing empty file is left alone
        {false, false, L"\\", kPackaged, ""},                   // so is a folder
        {false, false, nullptr, kPackaged, packaged},  // resource 103 in Save's form: no comments, corners off
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        World world(c.package);
        ASSERT_TRUE(!c.withDefault || world.Write(world.scratch / L"bin\\config.default.ini", defaultTemplate));
        ASSERT_TRUE(!c.withIni || world.Write(world.scratch / L"bin\\config.ini", plainTemplate));
        ASSERT_TRUE(!c.existing || world.Write(world.config + c.existing, ""));
        EnsureConfigFile();
        EXPECT_EQ(ReadBytes(world.config), c.expected);
        EXPECT_EQ(FileExists(world.config + L"\\"), c.existing && *c.existing);
    }
}

TEST(Companions, PresenceFollowsTheirConfigurationFiles) {
    const std::pair<const wchar_t*, std::pair<bool, bool>> cases[] = {  // then: Loftmoor, Notchling installed
        {L"Tessawell\\config.ini", {true, false}},
        {L"Quarrynook\\config.ini", {true, false}},
        {L"Notchling\\config.ini", {false, true}},
        {L"Notchling\\config.ini\\", {false, true}},
    };
    for (const auto& [entry, presence] : cases) {
        World world;
        ASSERT_TRUE(world.Write(world.scratch / L"quenby\\" + entry, "[Settings]\r\n"));
        EXPECT_EQ(std::pair(IsLoftmoorInstalled(), IsNotchlingInstalled()), presence) << Utf8(entry);
    }
}

}  // namespace
