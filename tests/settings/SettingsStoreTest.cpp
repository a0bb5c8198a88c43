// config.ini as the program reads, converts, provisions and changes it, in a scratch %APPDATA%.
#include <gtest/gtest.h>

#include <tuple>

#include "platform/Handles.h"
#include "settings/Companions.h"
#include "settings/Provisioning.h"
#include "settings/SettingsStore.h"
#include "storage/Paths.h"
#include "support/TestSupport.h"

namespace {

constexpr LONG kPackaged = ERROR_INSUFFICIENT_BUFFER;  // the package-name query's answer under package identity
constexpr LONG kNotPackaged = APPMODEL_ERROR_NO_PACKAGE;
constexpr const wchar_t* kConfig = L"quenby\\Hoverlatch\\config.ini";
std::wstring g_root;
LONG g_package;

// A scratch folder answering for every shell folder and holding bin\Hoverlatch.exe; the run kind is the test's.
struct World {
    PlatformGuard platform;
    GlobalsGuard globals;
    ScratchFolder scratch;
    const std::wstring config = scratch / kConfig;
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

// What a load makes of a [Trigger] section: the corners in the file afterwards (TopLeft, TopRight, BottomLeft,
// BottomRight: T TaskView, D Disabled, N Notchling, - none), then TopRight, zone, dwell and run at startup as
// loaded. An old Corners list becomes the four corner keys, saved once; numbers read like wcstol and are
// clamped; action names fold ASCII case only; a missing TopRight depends on the run kind, an empty one is off.
TEST(SettingsLoad, WhatALoadMakesOfTheFile) {
    const struct { const char* file; const char* loaded; LONG package = kNotPackaged; } cases[] = {
        {"Corners=TL", "TDDD D 12 350 0"}, {"Corners=TR", "DTDD T 12 350 0"}, {"Corners=BL", "DDTD D 12 350 0"},
        {"Corners=BR", "DDDT D 12 350 0"}, {"Corners= topleft ,, bottomRIGHT ,", "TDDT D 12 350 0"},
        {"Corners=", "DTDD T 12 350 0"}, {"Corners=left, top", "DTDD T 12 350 0"},
        {"TopLeft=FramwickOcr\r\nCorners=TL,BR", "TDDT D 12 350 0"}, {"Corners=TL,BL\r\nTopRight=Notchling", "-N-- N 12 350 0"},
        {"EdgeZonePx=2\r\nCornerDwellMs=-5\r\n[General]\r\nRunAtStartup=yes", "---- T 4 300 0"},
        {"EdgeZonePx=100\r\nCornerDwellMs=4294967646\r\n[General]\r\nRunAtStartup=2", "---- D 28 1000 1", kPackaged},
        {"EdgeZonePx=16px\r\nTopRight=", "-_-- D 16 350 0"}, {"EdgeZonePx=px16\r\nTopRight=framwickOCR", "-f-- F 12 350 0"},
        {"TopRight=TAS\u212AVIEW", "-T-- D 12 350 0"},  // a Kelvin sign for the K: not ASCII, so not TaskView
    };
    for (const auto& c : cases) {
        World world(c.package);
        ASSERT_TRUE(world.Write(kConfig, std::string("[Trigger]\r\n") + c.file));
        LoadSettings(false);
        const std::string converted = ReadBytes(world.config);
        LoadSettings(false);
        IniDocument saved(world.config);
        std::string loaded;
        for (const wchar_t* key : {L"TopLeft", L"TopRight", L"BottomLeft", L"BottomRight"})
            loaded += saved.Load() ? static_cast<char>((saved.GetValue(L"Trigger", key, L"-") + L"_")[0]) : '?';
        const Settings& s = g_settings;
        loaded += {' ', static_cast<char>(CornerActionName(s.topRight)[0])};
        for (int number : {s.edgeZonePx, s.cornerDwellMs, int{s.runAtStartup}}) (loaded += ' ') += std::to_string(number);
        EXPECT_EQ(std::pair(loaded, ReadBytes(world.config)), std::pair(std::string(c.loaded), converted)) << c.file;
    }
}

// An existing file held open by another program is never rewritten (an oversized one is refused alike by the
// load), a menu reload keeps the choices in memory, and start-up leaves the user's Startup shortcut alone.
TEST(UnreadableConfig, NeitherRewrittenNorTakenForDefaults) {
    World world;
    const std::wstring shortcut = world.scratch / L"Hoverlatch.lnk";  // the fake answers every folder alike
    const std::string original = "[Trigger]\r\nTopLeft=FramwickOcr\r\n[General]\r\nRunAtStartup=1\r\n; mine";
    ASSERT_TRUE(WriteBytes(shortcut, "user's shortcut") && world.Write(kConfig, original));
    LoadSettings(false);
    UniqueFile lock(CreateFileW(world.config.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    StoreSetting(L"Trigger", L"BottomLeft", L"TaskView");
    EnsureLanguageKey();
    LoadSettings(false);
    EXPECT_EQ(g_settings.topLeft, CornerAction::FramwickOcr);
    LoadSettings(true);
    lock.reset();
    EXPECT_TRUE(ReadBytes(world.config) == original && FileExists(shortcut));
}

// First runs, then a stored setting must read back: a read-only template gives an ordinary config.ini, a
// packaged run starts with every corner off, and an existing file (even an empty one) is left as it is.
TEST(Provisioning, FirstRunSourcesThenAStoredSetting) {
    const std::string byDefault = Utf16Bytes(L"; default\r\n[Trigger]\r\nTopLeft=Notchling", true), plain = "; plain";
    const wchar_t *defaultPath = L"bin\\config.default.ini", *plainPath = L"bin\\config.ini";
    const struct { bool withDefault, withPlain, existing, readOnly; LONG package; std::string expected; } cases[] = {
        {false, true, false, false, kNotPackaged, plain}, {true, true, false, false, kNotPackaged, byDefault},
        {true, false, false, true, kNotPackaged, byDefault}, {true, false, true, false, kPackaged, ""},
        {true, false, false, false, kPackaged, "\xEF\xBB\xBF[Trigger]\r\nTopLeft=Disabled\r\nTopRight=Disabled\r\n"
                                               "BottomLeft=Disabled\r\nBottomRight=Disabled"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        World world(c.package);
        ASSERT_TRUE((!c.withDefault || world.Write(defaultPath, byDefault)) && (!c.withPlain || world.Write(plainPath, plain)));
        ASSERT_TRUE((!c.existing || world.Write(kConfig, "")) &&
                    (!c.readOnly || SetFileAttributesW((world.scratch / defaultPath).c_str(), FILE_ATTRIBUTE_READONLY)));
        EnsureConfigFile();
        EXPECT_EQ(ReadBytes(world.config), c.expected);
        EXPECT_FALSE(GetFileAttributesW(world.config.c_str()) & FILE_ATTRIBUTE_READONLY);
        StoreSetting(L"Trigger", L"BottomLeft", L"FramwickBar");
        LoadSettings(false);
        EXPECT_EQ(g_settings.bottomLeft, CornerAction::FramwickBar);
    }
}

// Loftmoor's former name and the maker's other tool count as Loftmoor; any object of the name counts.
TEST(Companions, LoftmoorUnderOtherNames) {
    for (const wchar_t* entry : {L"Tessawell\\config.ini", L"Quarrynook\\config.ini\\"}) {
        World world;
        ASSERT_TRUE(world.Write(L"quenby\\" + std::wstring(entry), "[Settings]\r\n"));
        EXPECT_TRUE(IsLoftmoorInstalled() && !IsNotchlingInstalled()) << entry;
    }
}

}  // namespace
