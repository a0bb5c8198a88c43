#include <gtest/gtest.h>

#include "app/Handles.h"
#include "settings/SettingsStore.h"
#include "storage/Paths.h"
#include "support/TestSupport.h"

namespace {

constexpr LONG kPackaged = ERROR_INSUFFICIENT_BUFFER;  // the process has package identity
constexpr LONG kNotPackaged = APPMODEL_ERROR_NO_PACKAGE;
constexpr char kMark[] = "\xEF\xBB\xBF";               // every saved file starts with it

std::wstring g_roaming;
LONG g_packageAnswer = kNotPackaged;

HRESULT WINAPI FakeFolderPath(HWND, int, HANDLE, DWORD, LPWSTR path) {
    return wcscpy_s(path, MAX_PATH, g_roaming.c_str()) ? E_FAIL : S_OK;
}
LONG WINAPI FakePackageFullName(UINT32*, PWSTR) { return g_packageAnswer; }

// A scratch roaming folder, and so config path, with the run kind under the test's control.
struct SettingsWorld {
    PlatformGuard platform;
    GlobalsGuard globals;
    ScratchFolder scratch;
    const std::wstring config = scratch / L"quenby\\Hoverlatch\\config.ini";

    SettingsWorld() {
        g_roaming = scratch.path();
        g_packageAnswer = kNotPackaged;
        g_platform.shGetFolderPathW = &FakeFolderPath;
        g_platform.getCurrentPackageFullName = &FakePackageFullName;
        CreateDirectoryChain(scratch / L"quenby\\Hoverlatch\\");
    }
    void Load(const char* bytes) {
        EXPECT_TRUE(WriteBytes(config, bytes));
        g_settings = Settings{};
        LoadSettings(false);
    }
};

// Numbers read like wcstol and clamped; a missing TopRight depends on the run kind, an empty one is off.
TEST(SettingsLoad, NumbersAndTopRightDefault) {
    SettingsWorld world;
    using A = CornerAction;
    const struct {
        const char* file;
        LONG package;
        int32_t edgeZonePx, cornerDwellMs;
        bool runAtStartup;
        CornerAction topRight;
    } cases[] = {
        {"[Trigger]\r\nEdgeZonePx=2", kNotPackaged, 4, 350, false, A::TaskView},
        {"[Trigger]\r\nEdgeZonePx=100", kNotPackaged, 28, 350, false, A::TaskView},
        {"[Trigger]\r\nEdgeZonePx=16px", kNotPackaged, 16, 350, false, A::TaskView},
        {"[Trigger]\r\nEdgeZonePx=px16", kNotPackaged, 12, 350, false, A::TaskView},
        {"[Trigger]\r\nCornerDwellMs=-5", kNotPackaged, 12, 300, false, A::TaskView},
        {"[Trigger]\r\nCornerDwellMs=4294967646", kNotPackaged, 12, 1000, false, A::TaskView},  // 2^32 + 350
        {"[General]\r\nRunAtStartup=yes", kNotPackaged, 12, 350, false, A::TaskView},
        {"[General]\r\nRunAtStartup=2", kNotPackaged, 12, 350, true, A::TaskView},
        {"[General]\r\nRunAtStartup=2", kPackaged, 12, 350, true, A::Disabled},
        {"[Trigger]\r\nTopRight=", kNotPackaged, 12, 350, false, A::Disabled},
        {"[Trigger]\r\nTopRight=", kPackaged, 12, 350, false, A::Disabled},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.file << (c.package == kPackaged ? " packaged" : ""));
        g_packageAnswer = c.package;
        world.Load(c.file);
        EXPECT_EQ(g_settings.edgeZonePx, c.edgeZonePx);
        EXPECT_EQ(g_settings.cornerDwellMs, c.cornerDwellMs);
        EXPECT_EQ(g_settings.runAtStartup, c.runAtStartup);
        EXPECT_EQ(g_settings.topRight, c.topRight);
    }
}

TEST(SettingsLoad, OldCornersValueIsConvertedOnce) {
    SettingsWorld world;
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
        world.Load(before);
        const std::string expected = after.empty() ? before : kMark + after;
        EXPECT_EQ(ReadBytes(world.config), expected);
        LoadSettings(false);  // converted once: the second load leaves the file as it is
        EXPECT_EQ(ReadBytes(world.config), expected);
        EXPECT_EQ(g_settings.bottomRight == CornerAction::TaskView,
                  expected.find("BottomRight=TaskView") != std::string::npos) << before;
    }
}

TEST(LanguageKey, AddedOnceAsAFinalUiSectionNeverRewritingAFileWithTheKey) {
    SettingsWorld world;
    ASSERT_TRUE(WriteBytes(world.config, "; c\r\n[Trigger]\r\nTopRight=TaskView\r\n[General]\r\nRunAtStartup=1\r\n"));
    const std::string expected =
        kMark + std::string("[Trigger]\r\nTopRight=TaskView\r\n[General]\r\nRunAtStartup=1\r\n[UI]\r\nLanguage=");
    EnsureLanguageKey();
    EXPECT_EQ(ReadBytes(world.config), expected);
    EnsureLanguageKey();
    EXPECT_EQ(ReadBytes(world.config), expected);
    ASSERT_TRUE(WriteBytes(world.config, "; keep\r\n[UI]\r\nLanguage = de ; mine"));
    EnsureLanguageKey();
    EXPECT_EQ(ReadBytes(world.config), "; keep\r\n[UI]\r\nLanguage = de ; mine");
}

TEST(UnreadableConfig, ExistingFileIsNeverRewritten) {
    const std::string small = "[Trigger]\r\nTopLeft=FramwickOcr\r\n; mine\r\n[General]\r\nRunAtStartup=1";
    for (const bool large : {false, true}) {
        SCOPED_TRACE(large ? "too large" : "held open without sharing");
        SettingsWorld world;
        const std::string original = small + std::string(large ? 600 * 1024 : 0, ';');
        ASSERT_TRUE(WriteBytes(world.config, original));
        UniqueFile lock(large ? INVALID_HANDLE_VALUE
                              : CreateFileW(world.config.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        StoreSetting(L"Trigger", L"BottomLeft", L"TaskView");
        EnsureLanguageKey();
        LoadSettings(true);
        lock.reset();
        EXPECT_TRUE(ReadBytes(world.config) == original);
        EXPECT_FALSE(FileExists(world.config + L".tmp"));
    }
}

// An unreadable file says nothing about the user's choices: a menu reload keeps the settings in memory,
// and start-up does not put the default "off" into effect over the user's Startup shortcut.
TEST(UnreadableConfig, KeepsTheChoicesInMemoryAndTheStartupShortcut) {
    SettingsWorld world;
    const std::wstring shortcut = world.scratch / L"Hoverlatch.lnk";  // the fake answers every folder alike
    ASSERT_TRUE(WriteBytes(shortcut, "user's shortcut"));
    ASSERT_TRUE(WriteBytes(world.config, "[Trigger]\r\nTopLeft=FramwickOcr\r\n[General]\r\nRunAtStartup=1"));
    LoadSettings(false);
    ASSERT_EQ(g_settings.topLeft, CornerAction::FramwickOcr);
    UniqueFile lock(CreateFileW(world.config.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    LoadSettings(false);
    EXPECT_EQ(g_settings.topLeft, CornerAction::FramwickOcr);
    LoadSettings(true);
    EXPECT_TRUE(FileExists(shortcut));
}

}  // namespace
