// config.ini as the program reads, converts, provisions and changes it, in a scratch %APPDATA%.
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
        g_root = scratch.path(), g_package = package;
        g_platform.shGetFolderPathW = [](HWND, int, HANDLE, DWORD, LPWSTR out) { return wcscpy(out, g_root.c_str()), S_OK; };
        g_platform.getModuleFileNameW = [](HMODULE, LPWSTR out, DWORD size) {
            return static_cast<DWORD>(swprintf(out, size, L"%lsbin\\Hoverlatch.exe", g_root.c_str()));
        };
        g_platform.getCurrentPackageFullName = [](UINT32*, PWSTR) { return g_package; };
    }
    // Under the scratch folder, making the folders first; a final backslash makes only the folders.
    bool Write(const std::wstring& relative, const std::string& bytes) const {
        CreateDirectoryChain(scratch / relative.substr(0, relative.find_last_of(L'\\') + 1));
        return relative.back() == L'\\' || WriteBytes(scratch / relative, bytes);
    }
};
constexpr const wchar_t* kConfig = L"quenby\\Hoverlatch\\config.ini";

TEST(SettingsModel, ActionNames) {
    using enum CornerAction;
    const std::pair<const wchar_t*, CornerAction> cases[] = {
        {L"taskview", TaskView}, {L"FramwickOCR", FramwickOcr}, {L"Task View", Disabled}, {L" TaskView", Disabled},
        {L"Framwick", Disabled}, {nullptr, Disabled}, {L"TAS\u212AVIEW", Disabled}};  // a Kelvin sign for the K
    for (const auto& [text, action] : cases) EXPECT_EQ(ParseCornerAction(text), action) << (text ? text : L"(null)");
    for (int value = 0; value <= 10; ++value)  // every name written reads back as its action
        EXPECT_EQ(static_cast<int>(ParseCornerAction(CornerActionName(static_cast<CornerAction>(value)))), value);
}

// Numbers read like wcstol and clamped; a missing TopRight depends on the run kind, an empty one is off.
TEST(SettingsLoad, NumbersAndTopRightDefault) {
    using enum CornerAction;
    const struct { const char* file; LONG package; int32_t edge, dwell; bool run; CornerAction topRight; } cases[] = {
        {"EdgeZonePx=2\r\nCornerDwellMs=-5\r\n[General]\r\nRunAtStartup=yes", kNotPackaged, 4, 300, false, TaskView},
        {"EdgeZonePx=100\r\nCornerDwellMs=4294967646\r\n[General]\r\nRunAtStartup=2", kPackaged, 28, 1000, true, Disabled},
        {"EdgeZonePx=16px\r\nTopRight=", kNotPackaged, 16, 350, false, Disabled},  // 4294967646: 2^32 + 350
        {"EdgeZonePx=px16", kNotPackaged, 12, 350, false, TaskView},
    };
    for (const auto& c : cases) {
        World world(c.package);
        ASSERT_TRUE(world.Write(kConfig, std::string("[Trigger]\r\n") + c.file));
        LoadSettings(false);
        const Settings& s = g_settings;
        EXPECT_EQ(std::tuple(s.edgeZonePx, s.cornerDwellMs, s.runAtStartup, s.topRight),
                  std::tuple(c.edge, c.dwell, c.run, c.topRight)) << c.file;
    }
}

// The old Corners list becomes the four corner keys, saved at the first load only. The corners in the file
// afterwards, TopLeft, TopRight, BottomLeft, BottomRight: T TaskView, D Disabled, N Notchling, - none.
TEST(SettingsLoad, OldCornersValueIsConvertedOnce) {
    const std::pair<const char*, const char*> cases[] = {
        {"Corners=TL", "TDDD"}, {"Corners=TR", "DTDD"}, {"Corners=BL", "DDTD"}, {"Corners=BR", "DDDT"},
        {"Corners= topleft ,, bottomRIGHT ,", "TDDT"}, {"Corners=", "DTDD"}, {"Corners=left, top", "DTDD"},
        {"TopLeft=FramwickOcr\r\nCorners=TL,BR", "TDDT"}, {"Corners=TL,BL\r\nTopRight=Notchling", "-N--"},
    };
    for (const auto& [before, after] : cases) {
        World world;
        ASSERT_TRUE(world.Write(kConfig, std::string("[Trigger]\r\n") + before));
        LoadSettings(false);
        const std::string converted = ReadBytes(world.config);
        LoadSettings(false);
        EXPECT_EQ(ReadBytes(world.config), converted) << "converted again: " << before;
        IniDocument saved(world.config);
        saved.Load();
        std::string letters;
        for (const wchar_t* key : {L"TopLeft", L"TopRight", L"BottomLeft", L"BottomRight"})
            letters += static_cast<char>(saved.GetValue(L"Trigger", key, L"-")[0]);
        EXPECT_EQ(letters, after) << before;
    }
}

// An existing file that cannot be read (held open, over the size limit) is never rewritten, a menu reload
// keeps the choices in memory, and start-up leaves the user's Startup shortcut alone.
TEST(UnreadableConfig, NeitherRewrittenNorTakenForDefaults) {
    for (const bool large : {false, true}) {  // else held open
        World world;
        const std::wstring shortcut = world.scratch / L"Hoverlatch.lnk";  // the fake answers every folder alike
        const std::string original = "[Trigger]\r\nTopLeft=FramwickOcr\r\n[General]\r\nRunAtStartup=1\r\n; mine";
        ASSERT_TRUE(WriteBytes(shortcut, "user's shortcut") && world.Write(kConfig, original));
        LoadSettings(false);
        const std::string unreadable = original + std::string(large ? 1 << 20 : 0, ';');
        ASSERT_TRUE(WriteBytes(world.config, unreadable));
        UniqueFile lock(large ? INVALID_HANDLE_VALUE : CreateFileW(world.config.c_str(), GENERIC_READ, 0, 0, OPEN_EXISTING, 0, 0));
        StoreSetting(L"Trigger", L"BottomLeft", L"TaskView");
        EnsureLanguageKey();
        LoadSettings(false);
        EXPECT_EQ(g_settings.topLeft, CornerAction::FramwickOcr) << large;
        LoadSettings(true);
        lock.reset();
        EXPECT_TRUE(ReadBytes(world.config) == unreadable && FileExists(shortcut)) << large;
    }
}

// First runs, then a stored setting must read back. A read-only template gives an ordinary config.ini; an
// existing one (L"" an empty file, L"\\" a folder) is left as it is, read-only too.
TEST(Provisioning, FirstRunSourcesThenAStoredSetting) {
    const std::string defaultTemplate = Utf16Bytes(L"; default\r\n[Trigger]\r\nTopLeft=Notchling", true);
    const std::string plainTemplate = "; plain\r\n[Trigger]\r\nTopLeft=Loftmoor\r\n";
    const std::string packaged = "\xEF\xBB\xBF[Trigger]\r\nTopLeft=Disabled\r\nTopRight=Disabled\r\n"
                                 "BottomLeft=Disabled\r\nBottomRight=Disabled\r\nEdgeZonePx=12\r\nCornerDwellMs=350\r\n"
                                 "[UI]\r\nLanguage=\r\n[General]\r\nRunAtStartup=0";
    const wchar_t *byDefault = L"bin\\config.default.ini", *plain = L"bin\\config.ini", *none = nullptr;
    const struct { const wchar_t *template1, *template2, *existing, *readOnly; LONG package; std::string expected;
                   bool stores; } cases[] = {
        {none, none, none, none, kNotPackaged, DefaultConfigResource(), true},  // the embedded text, whole
        {plain, none, none, none, kNotPackaged, plainTemplate, true},
        {byDefault, plain, none, none, kNotPackaged, defaultTemplate, true},  // config.default.ini wins
        {byDefault, none, none, byDefault, kNotPackaged, defaultTemplate, true},
        {plain, none, none, plain, kNotPackaged, plainTemplate, true},
        {none, none, none, none, kPackaged, packaged, true},  // in the saved form, every corner off
        {byDefault, none, L"", none, kPackaged, "", true},
        {none, none, L"", kConfig, kNotPackaged, "", true},
        {none, none, L"\\", none, kPackaged, "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        World world(c.package);
        ASSERT_TRUE(!c.template1 || world.Write(c.template1, c.template1 == plain ? plainTemplate : defaultTemplate));
        ASSERT_TRUE(!c.template2 || world.Write(c.template2, plainTemplate));
        ASSERT_TRUE(!c.existing || world.Write(kConfig + std::wstring(c.existing), ""));
        ASSERT_TRUE(!c.readOnly || SetFileAttributesW((world.scratch / c.readOnly).c_str(), FILE_ATTRIBUTE_READONLY));
        EnsureConfigFile();
        EXPECT_EQ(ReadBytes(world.config), c.expected);
        EXPECT_EQ((GetFileAttributesW(world.config.c_str()) & FILE_ATTRIBUTE_READONLY) != 0, c.readOnly == kConfig);
        StoreSetting(L"Trigger", L"BottomLeft", L"FramwickBar");
        LoadSettings(false);
        EXPECT_EQ(g_settings.bottomLeft == CornerAction::FramwickBar, c.stores);
    }
}

TEST(Companions, PresenceFollowsTheirConfigurationFiles) {
    const std::pair<const wchar_t*, std::pair<bool, bool>> cases[] = {  // then: Loftmoor, Notchling installed
        {L"Tessawell\\config.ini", {true, false}}, {L"Quarrynook\\config.ini", {true, false}},
        {L"Notchling\\config.ini", {false, true}}, {L"Notchling\\config.ini\\", {false, true}},
    };
    for (const auto& [entry, presence] : cases) {
        World world;
        ASSERT_TRUE(world.Write(L"quenby\\" + std::wstring(entry), "[Settings]\r\n"));
        EXPECT_EQ(std::pair(IsLoftmoorInstalled(), IsNotchlingInstalled()), presence) << Utf8(entry);
    }
}

}  // namespace
