#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>

#include "settings/Provisioning.h"
#include "storage/IniDocument.h"
#include "storage/Paths.h"
#include "support/TestSupport.h"

namespace {

constexpr WORD kDefaultConfigResource = 103;   // the embedded default configuration
constexpr size_t kDefaultConfigBytes = 1163;   // its size as shipped
constexpr LONG kPackaged = ERROR_INSUFFICIENT_BUFFER;  // what the package-name query answers with identity
constexpr LONG kUnpackaged = 15700;                    // APPMODEL_ERROR_NO_PACKAGE

const std::string kBuiltInUnpackaged =
    "\xEF\xBB\xBF[Trigger]\r\nTopLeft=Disabled\r\nTopRight=TaskView\r\nBottomLeft=Disabled\r\nBottomRight=Disabled\r\n"
    "EdgeZonePx=12\r\nCornerDwellMs=350\r\n[UI]\r\nLanguage=\r\n[General]\r\nRunAtStartup=0";
const std::string kBuiltInPackaged =
    "\xEF\xBB\xBF[Trigger]\r\nTopLeft=Disabled\r\nTopRight=Disabled\r\nBottomLeft=Disabled\r\nBottomRight=Disabled\r\n"
    "EdgeZonePx=12\r\nCornerDwellMs=350\r\n[UI]\r\nLanguage=\r\n[General]\r\nRunAtStartup=0";

// What the faked system calls answer.
struct FakeSystem {
    std::wstring modulePath;
    std::wstring appData;
    LONG packageAnswer = kUnpackaged;
};
FakeSystem g_fake;

DWORD WINAPI FakeModuleFileName(HMODULE, LPWSTR buffer, DWORD size) {
    if (size == 0) return 0;
    const size_t copied = std::min<size_t>(g_fake.modulePath.size(), size - 1);
    wmemcpy(buffer, g_fake.modulePath.c_str(), copied);
    buffer[copied] = L'\0';
    return static_cast<DWORD>(copied);
}

HRESULT WINAPI FakeFolderPath(HWND, int, HANDLE, DWORD, LPWSTR buffer) {
    wcsncpy(buffer, g_fake.appData.c_str(), MAX_PATH - 1);
    return S_OK;
}

LONG WINAPI FakePackageFullName(UINT32* length, PWSTR) {
    if (length && g_fake.packageAnswer == kPackaged) *length = 32;
    return g_fake.packageAnswer;
}

std::string ResourceBytes(WORD id) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(id), RT_RCDATA);
    HGLOBAL loaded = info ? LoadResource(module, info) : nullptr;
    const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    return bytes ? std::string(bytes, SizeofResource(module, info)) : std::string();
}

bool IsFolder(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The executable lives in <scratch>\bin\, the roaming application-data folder is <scratch>\appdata.
class Provisioning : public testing::Test {
protected:
    void SetUp() override {
        g_fake = {};
        g_fake.modulePath = scratch / L"bin\\Hoverlatch.exe";
        g_fake.appData = scratch / L"appdata";
        ASSERT_TRUE(CreateDirectoryW((scratch / L"bin").c_str(), nullptr));
        g_platform.getModuleFileNameW = &FakeModuleFileName;
        g_platform.shGetFolderPathW = &FakeFolderPath;
        g_platform.getCurrentPackageFullName = &FakePackageFullName;
        ASSERT_EQ(GetConfigFilePath(), ConfigPath());
        ASSERT_EQ(GetExecutableDirectory(), scratch / L"bin\\");
    }

    std::wstring ConfigPath() const { return scratch / L"appdata\\quenby\\Hoverlatch\\config.ini"; }
    std::wstring BesideExecutable(const wchar_t* name) const { return scratch / L"bin\\" + name; }

    PlatformGuard guard;
    ScratchFolder scratch;
};

TEST_F(Provisioning, WithoutTemplateTheEmbeddedDefaultIsWrittenByteForByte) {
    EnsureConfigFile();
    const std::string shipped = ResourceBytes(kDefaultConfigResource);
    ASSERT_EQ(shipped.size(), kDefaultConfigBytes);
    EXPECT_EQ(ReadBytes(ConfigPath()), shipped);
    EXPECT_TRUE(IsFolder(scratch / L"appdata\\quenby"));
    EXPECT_FALSE(FileExists(ConfigPath() + L".tmp"));
}

TEST_F(Provisioning, TemplateBesideTheExecutableIsCopiedUnchangedAndTheDefaultTemplateWins) {
    // UTF-16 and without the usual keys: a template is copied as it is, not interpreted.
    const std::string defaultTemplate = Utf16Bytes(L"; default template\r\n[Trigger]\r\nTopLeft=Notchling", true);
    const std::string plainTemplate = "; plain template\r\n[Trigger]\r\nTopLeft=Loftmoor\r\n";
    struct Case {
        const char* name;
        bool withDefault;
        bool withPlain;
        std::string expected;
    };
    const Case cases[] = {
        {"config.default.ini only", true, false, defaultTemplate},
        {"config.ini only", false, true, plainTemplate},
        {"both: config.default.ini wins", true, true, defaultTemplate},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RemoveTree(scratch / L"appdata");
        DeleteFileW(BesideExecutable(L"config.default.ini").c_str());
        DeleteFileW(BesideExecutable(L"config.ini").c_str());
        if (c.withDefault) {
            ASSERT_TRUE(WriteBytes(BesideExecutable(L"config.default.ini"), defaultTemplate));
        }
        if (c.withPlain) {
            ASSERT_TRUE(WriteBytes(BesideExecutable(L"config.ini"), plainTemplate));
        }
        EnsureConfigFile();
        EXPECT_EQ(ReadBytes(ConfigPath()), c.expected);
    }
}

TEST_F(Provisioning, AnythingAlreadyNamedLikeTheConfigurationIsLeftAlone) {
    ASSERT_TRUE(WriteBytes(BesideExecutable(L"config.default.ini"), "[Trigger]\r\nTopLeft=TaskView"));
    g_fake.packageAnswer = kPackaged;  // a packaged run would rewrite whatever it provisioned
    struct Case {
        const char* name;
        bool folder;
        std::string bytes;
    };
    const Case cases[] = {
        {"empty file", false, ""},
        {"user's file", false, "; mine\r\n[Trigger]\r\nTopRight=Notchling\r\n"},
        {"unreadable garbage", false, "\xFF\xFE"},
        {"folder", true, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RemoveTree(scratch / L"appdata");
        CreateDirectoryChain(scratch / L"appdata\\quenby\\Hoverlatch\\");
        if (c.folder) {
            ASSERT_TRUE(CreateDirectoryW(ConfigPath().c_str(), nullptr));
        } else {
            ASSERT_TRUE(WriteBytes(ConfigPath(), c.bytes));
        }
        EnsureConfigFile();
        if (c.folder) {
            EXPECT_TRUE(IsFolder(ConfigPath()));
        } else {
            EXPECT_EQ(ReadBytes(ConfigPath()), c.bytes);
        }
        EXPECT_FALSE(FileExists(ConfigPath() + L".tmp"));
    }
}

TEST_F(Provisioning, PackagedFirstRunStartsWithEveryCornerDisabledWhateverTheSource) {
    g_fake.packageAnswer = kPackaged;
    struct Case {
        const char* name;
        const wchar_t* templateName;
        std::string templateBytes;
        std::string expected;
    };
    const Case cases[] = {
        {"embedded default", nullptr, "", kBuiltInPackaged},
        {"config.default.ini", L"config.default.ini",
         "; note\r\n[Trigger]\r\nTopLeft=TaskView\r\nTopRight=TaskView\r\nEdgeZonePx=20\r\n[Extra]\r\nKeep=1\r\n",
         "\xEF\xBB\xBF[Trigger]\r\nTopLeft=Disabled\r\nTopRight=Disabled\r\nEdgeZonePx=20\r\nBottomLeft=Disabled\r\n"
         "BottomRight=Disabled\r\n[Extra]\r\nKeep=1"},
        {"config.ini without a Trigger section", L"config.ini", Utf16Bytes(L";c\r\n[UI]\r\nLanguage=de", true),
         "\xEF\xBB\xBF[UI]\r\nLanguage=de\r\n[Trigger]\r\nTopLeft=Disabled\r\nTopRight=Disabled\r\n"
         "BottomLeft=Disabled\r\nBottomRight=Disabled"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RemoveTree(scratch / L"appdata");
        DeleteFileW(BesideExecutable(L"config.default.ini").c_str());
        DeleteFileW(BesideExecutable(L"config.ini").c_str());
        if (c.templateName) {
            ASSERT_TRUE(WriteBytes(BesideExecutable(c.templateName), c.templateBytes));
        }
        EnsureConfigFile();
        EXPECT_EQ(ReadBytes(ConfigPath()), c.expected);
        // The template beside the executable is never changed.
        if (c.templateName) {
            EXPECT_EQ(ReadBytes(BesideExecutable(c.templateName)), c.templateBytes);
        }
    }
}

TEST_F(Provisioning, FailedTemplateCopyFallsBackToTheBuiltInDefaults) {
    // A folder by the template's name exists but cannot be copied; config.ini is not tried after it.
    ASSERT_TRUE(CreateDirectoryW(BesideExecutable(L"config.default.ini").c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(BesideExecutable(L"config.ini"), "[Trigger]\r\nTopLeft=Loftmoor"));
    for (LONG answer : {kUnpackaged, kPackaged}) {
        SCOPED_TRACE(answer);
        g_fake.packageAnswer = answer;
        RemoveTree(scratch / L"appdata");
        EnsureConfigFile();
        EXPECT_EQ(ReadBytes(ConfigPath()), answer == kPackaged ? kBuiltInPackaged : kBuiltInUnpackaged);
    }
}

TEST_F(Provisioning, WhenNothingCanBeCreatedItEndsQuietly) {
    ASSERT_TRUE(WriteBytes(scratch / L"appdata", "a file where the folder should be"));
    EnsureConfigFile();
    EXPECT_FALSE(FileExists(ConfigPath()));
    EXPECT_EQ(ReadBytes(scratch / L"appdata"), "a file where the folder should be");
}

TEST_F(Provisioning, LaterCallsNeverTouchTheProvisionedFile) {
    EnsureConfigFile();
    const std::string edited = "[Trigger]\r\nTopLeft=FramwickOcr";
    ASSERT_TRUE(WriteBytes(ConfigPath(), edited));
    g_fake.packageAnswer = kPackaged;
    EnsureConfigFile();
    EXPECT_EQ(ReadBytes(ConfigPath()), edited);
}

TEST_F(Provisioning, BuiltInDefaultsReplaceAPartialFileWithoutReadingIt) {
    for (LONG answer : {kUnpackaged, kPackaged}) {
        SCOPED_TRACE(answer);
        g_fake.packageAnswer = answer;
        const std::wstring path = scratch / L"partial\\config.ini";
        CreateDirectoryW((scratch / L"partial").c_str(), nullptr);
        ASSERT_TRUE(WriteBytes(path, "; cut short\r\n[Trigger]\r\nTopLeft=Notch"));
        EXPECT_TRUE(WriteBuiltInDefaults(path));
        EXPECT_EQ(ReadBytes(path), answer == kPackaged ? kBuiltInPackaged : kBuiltInUnpackaged);
    }
}

TEST_F(Provisioning, DisablingCornersGivesUpOnAFileItCannotRead) {
    const std::wstring path = scratch / L"config.ini";
    const std::string userBytes = "[Trigger]\r\nTopLeft=TaskView\r\n";
    ASSERT_TRUE(WriteBytes(path, userBytes));
    HANDLE lock = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    DisableAllCorners(path);
    CloseHandle(lock);
    EXPECT_EQ(ReadBytes(path), userBytes);

    const std::string oversized = "[Trigger]\r\nTopLeft=TaskView\r\n" + std::string(600 * 1024, ';');
    ASSERT_TRUE(WriteBytes(path, oversized));
    DisableAllCorners(path);
    EXPECT_EQ(ReadBytes(path), oversized);
    EXPECT_FALSE(FileExists(path + L".tmp"));
}

}  // namespace
