#include <gtest/gtest.h>

#include "settings/Provisioning.h"
#include "storage/IniTestHelpers.h"
#include "storage/Paths.h"

namespace {

constexpr LONG kPackaged = ERROR_INSUFFICIENT_BUFFER;     // what the package-name query answers with identity
constexpr LONG kUnpackaged = APPMODEL_ERROR_NO_PACKAGE;
std::wstring g_root;  // <scratch>\bin\Hoverlatch.exe and <scratch>\appdata
LONG g_packageAnswer;

DWORD WINAPI FakeModuleFileName(HMODULE, LPWSTR buffer, DWORD size) {
    return static_cast<DWORD>(swprintf(buffer, size, L"%lsbin\\Hoverlatch.exe", g_root.c_str()));
}
HRESULT WINAPI FakeFolderPath(HWND, int, HANDLE, DWORD, LPWSTR buffer) {
    return swprintf(buffer, MAX_PATH, L"%lsappdata", g_root.c_str()) > 0 ? S_OK : E_FAIL;
}
LONG WINAPI FakePackageFullName(UINT32*, PWSTR) { return g_packageAnswer; }

// Each row: a fresh folder, the templates beside the executable, what already is at the config path.
TEST(Provisioning, FirstRunSources) {
    const std::string defaultTemplate = Utf16Bytes(L"; default\r\n[Trigger]\r\nTopLeft=Notchling", true);
    const std::string plainTemplate = "; plain\r\n[Trigger]\r\nTopLeft=Loftmoor\r\n";
    const struct {
        const char* name;
        bool withDefault, withPlain;
        const char* existing;  // "/" for a folder
        LONG package;
        std::string expected;
    } cases[] = {
        {"no template: resource 103", false, false, nullptr, kUnpackaged, ResourceBytes(kDefaultConfigResource)},
        {"config.ini", false, true, nullptr, kUnpackaged, plainTemplate},
        {"config.default.ini wins", true, true, nullptr, kUnpackaged, defaultTemplate},
        {"existing empty file", true, false, "", kPackaged, ""},
        {"existing folder", false, false, "/", kPackaged, ""},
        {"packaged: corners off, no comments", false, false, nullptr, kPackaged, DefaultsSaved("Disabled")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PlatformGuard guard;
        ScratchFolder scratch;
        g_root = scratch.path();
        g_packageAnswer = c.package;
        g_platform.getModuleFileNameW = &FakeModuleFileName;
        g_platform.shGetFolderPathW = &FakeFolderPath;
        g_platform.getCurrentPackageFullName = &FakePackageFullName;
        const std::wstring config = scratch / L"appdata\\quenby\\Hoverlatch\\config.ini";
        ASSERT_EQ(GetConfigFilePath(), config);
        CreateDirectoryChain(scratch / L"bin\\");
        ASSERT_TRUE(!c.withDefault || WriteBytes(scratch / L"bin\\config.default.ini", defaultTemplate));
        ASSERT_TRUE(!c.withPlain || WriteBytes(scratch / L"bin\\config.ini", plainTemplate));
        if (c.existing) {
            CreateDirectoryChain(scratch / L"appdata\\quenby\\Hoverlatch\\");
            ASSERT_TRUE(*c.existing ? CreateDirectoryW(config.c_str(), nullptr) : WriteBytes(config, c.existing));
        }
        EnsureConfigFile();
        EXPECT_EQ(ReadBytes(config), c.expected);
        EXPECT_EQ(FileExists(config + L"\\"), c.existing && *c.existing == '/');
        EXPECT_FALSE(FileExists(config + L".tmp"));
    }
}

}  // namespace
