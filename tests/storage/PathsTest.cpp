#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <string>

#include "storage/Paths.h"
#include "support/TestSupport.h"

namespace {

// What the faked system calls answer; set by each test before the call under test.
struct FakeAnswers {
    HRESULT folderResult = E_FAIL;
    std::wstring folderText;
    int folderCalls = 0;
    int lastFolderId = -1;
    std::wstring modulePath;
};
FakeAnswers g_fake;

HRESULT WINAPI FakeGetFolderPath(HWND, int folder, HANDLE, DWORD, LPWSTR buffer) {
    ++g_fake.folderCalls;
    g_fake.lastFolderId = folder;
    wcsncpy(buffer, g_fake.folderText.c_str(), MAX_PATH - 1);
    return g_fake.folderResult;
}

// Behaves like GetModuleFileNameW: a path that does not fit is cut, terminated, and answered with
// the buffer size.
DWORD WINAPI FakeModuleFileName(HMODULE, LPWSTR buffer, DWORD size) {
    const std::wstring& path = g_fake.modulePath;
    if (size == 0) return 0;
    if (path.size() < size) {
        wcscpy(buffer, path.c_str());
        return static_cast<DWORD>(path.size());
    }
    wmemcpy(buffer, path.c_str(), size - 1);
    buffer[size - 1] = L'\0';
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
}

// Sets APPDATA for one test (null removes it) and puts the old value back afterwards.
class AppDataVariable {
public:
    explicit AppDataVariable(const wchar_t* value) {
        wchar_t old[32768] = {};
        DWORD length = GetEnvironmentVariableW(L"APPDATA", old, 32768);
        hadValue_ = length != 0 && length < 32768;
        if (hadValue_) saved_ = old;
        SetEnvironmentVariableW(L"APPDATA", value);
    }
    ~AppDataVariable() { SetEnvironmentVariableW(L"APPDATA", hadValue_ ? saved_.c_str() : nullptr); }

private:
    bool hadValue_ = false;
    std::wstring saved_;
};

class PathsTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_fake = FakeAnswers{};
        g_platform.shGetFolderPathW = &FakeGetFolderPath;
        g_platform.getModuleFileNameW = &FakeModuleFileName;
        // The real GetEnvironmentVariableW stays: its answers for long values are what matters.
    }
    PlatformGuard guard;
};

bool IsFolder(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

TEST_F(PathsTest, ReportedFolderGetsExactlyOneFinalBackslash) {
    struct Case {
        HRESULT result;
        const wchar_t* reported;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {S_OK, L"C:\\Users\\u\\AppData\\Roaming", L"C:\\Users\\u\\AppData\\Roaming\\"},
        {S_OK, L"C:\\Users\\u\\AppData\\Roaming\\", L"C:\\Users\\u\\AppData\\Roaming\\"},
        // Only a backslash counts as final separator.
        {S_OK, L"C:/Users/u/AppData/Roaming/", L"C:/Users/u/AppData/Roaming/\\"},
        // Any success code is a success.
        {S_FALSE, L"E:\\Roaming", L"E:\\Roaming\\"},
    };
    AppDataVariable appData(L"X:\\FromVariable");
    for (const Case& c : cases) {
        g_fake.folderResult = c.result;
        g_fake.folderText = c.reported;
        EXPECT_EQ(GetAppDataDirectory(), c.expected) << c.reported;
    }
    EXPECT_EQ(g_fake.lastFolderId, CSIDL_APPDATA);
}

TEST_F(PathsTest, ConfigFileLiesInTheMakersFolderUnderAppData) {
    g_fake.folderResult = S_OK;
    g_fake.folderText = L"C:\\Users\\u\\AppData\\Roaming";
    EXPECT_EQ(GetConfigFilePath(), L"C:\\Users\\u\\AppData\\Roaming\\quenby\\Hoverlatch\\config.ini");
}

TEST_F(PathsTest, NothingIsCachedBetweenCalls) {
    g_fake.folderResult = S_OK;
    g_fake.folderText = L"C:\\One";
    EXPECT_EQ(GetAppDataDirectory(), L"C:\\One\\");
    g_fake.folderText = L"C:\\Two";
    EXPECT_EQ(GetConfigFilePath(), L"C:\\Two\\quenby\\Hoverlatch\\config.ini");
    EXPECT_EQ(g_fake.folderCalls, 2);
}

TEST_F(PathsTest, FailedShellQueryFallsBackToTheAppDataVariableThenTheExecutableFolder) {
    g_fake.folderResult = E_FAIL;
    g_fake.modulePath = L"D:\\Tools\\Hoverlatch.exe";
    const std::wstring fits(259, L'a');   // 259 characters and the terminator fill the 260 buffer
    const std::wstring tooLong(260, L'b');
    struct Case {
        const char* name;
        const wchar_t* value;  // null: variable absent
        std::wstring expected;
    };
    const Case cases[] = {
        {"usual value", L"C:\\Users\\v\\AppData\\Roaming", L"C:\\Users\\v\\AppData\\Roaming\\"},
        {"value with final backslash", L"C:\\Roam\\", L"C:\\Roam\\"},
        {"259 characters", fits.c_str(), fits + L"\\"},
        {"260 characters", tooLong.c_str(), L"D:\\Tools\\"},
        {"absent", nullptr, L"D:\\Tools\\"},
        {"empty", L"", L"D:\\Tools\\"},
    };
    for (const Case& c : cases) {
        AppDataVariable appData(c.value);
        EXPECT_EQ(GetAppDataDirectory(), c.expected) << c.name;
    }
}

TEST_F(PathsTest, SuccessWithAnEmptyAnswerIsNotTakenAsTheFolder) {
    // Otherwise every file would be named relative to whatever the current directory is.
    AppDataVariable appData(L"C:\\Users\\w\\AppData\\Roaming");
    g_fake.folderResult = S_OK;
    g_fake.folderText = L"";
    EXPECT_EQ(GetAppDataDirectory(), L"C:\\Users\\w\\AppData\\Roaming\\");
}

TEST_F(PathsTest, WithoutAppDataEverythingMovesBelowTheExecutableFolder) {
    AppDataVariable appData(nullptr);
    g_fake.folderResult = E_ACCESSDENIED;
    g_fake.modulePath = L"D:\\Tools\\Hoverlatch.exe";
    EXPECT_EQ(GetConfigFilePath(), L"D:\\Tools\\quenby\\Hoverlatch\\config.ini");
    g_fake.modulePath = L"";
    EXPECT_EQ(GetConfigFilePath(), L"quenby\\Hoverlatch\\config.ini");
}

TEST_F(PathsTest, ExecutableFolderEndsWithTheSeparatorBeforeTheFileName) {
    struct Case {
        std::wstring module;
        std::wstring expected;
    };
    const std::wstring deep = L"C:\\" + std::wstring(150, L'd') + L"\\" + std::wstring(150, L'e') + L"\\";
    const Case cases[] = {
        {L"D:\\Tools\\app.exe", L"D:\\Tools\\"},
        {L"D:/Tools/app.exe", L"D:/Tools/"},
        {L"D:\\Tools/bin\\x/app.exe", L"D:\\Tools/bin\\x/"},
        {L"D:/Tools\\bin/x\\app.exe", L"D:/Tools\\bin/x\\"},
        {L"\\\\server\\share\\app.exe", L"\\\\server\\share\\"},
        {L"", L""},
        // No separator at all is no folder.
        {L"app.exe", L""},
        // Longer than 260: the whole folder, not a cut one that names some other folder.
        {deep + L"app.exe", deep},
    };
    for (const Case& c : cases) {
        g_fake.modulePath = c.module;
        EXPECT_EQ(GetExecutableDirectory(), c.expected) << c.module.size();
    }
}

TEST(PathsRealSystem, ExecutableFolderHoldsThisTestExecutable) {
    wchar_t module[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    std::wstring self = module;
    std::wstring folder = GetExecutableDirectory();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), L'\\');
    EXPECT_EQ(self.substr(0, folder.size()), folder);
    EXPECT_EQ(self.find_first_of(L"\\/", folder.size()), std::wstring::npos) << Utf8(self);
    EXPECT_TRUE(FileExists(folder)) << Utf8(folder);
}

TEST(PathsRealSystem, AppDataFolderExistsAndEndsWithBackslash) {
    std::wstring folder = GetAppDataDirectory();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), L'\\');
    EXPECT_TRUE(IsFolder(folder)) << Utf8(folder);
}

TEST(CreateDirectoryChain, CreatesEveryMissingLevel) {
    struct Case {
        const char* name;
        std::wstring relative;  // below the scratch folder
        std::wstring deepest;   // must exist afterwards
    };
    const Case cases[] = {
        {"backslashes, final separator", L"A\\B\\C\\", L"A\\B\\C"},
        {"forward slashes", L"F/G/H/", L"F\\G\\H"},
        {"mixed separators, no final one", L"M\\N/O", L"M\\N\\O"},
        {"doubled separator", L"P\\\\Q\\", L"P\\Q"},
    };
    for (const Case& c : cases) {
        ScratchFolder scratch;
        CreateDirectoryChain(scratch / c.relative);
        EXPECT_TRUE(IsFolder(scratch / c.deepest)) << c.name;
    }
}

TEST(CreateDirectoryChain, MakersFolderThenProgramFolderAsAtStartUp) {
    ScratchFolder scratch;
    CreateDirectoryChain(scratch / L"quenby\\");
    CreateDirectoryChain(scratch / L"quenby\\Hoverlatch\\");
    EXPECT_TRUE(IsFolder(scratch / L"quenby\\Hoverlatch"));
}

TEST(CreateDirectoryChain, ExistingFoldersAndTheirFilesAreLeftAlone) {
    ScratchFolder scratch;
    CreateDirectoryChain(scratch / L"A\\B\\");
    ASSERT_TRUE(WriteBytes(scratch / L"A\\B\\keep.txt", std::string("kept")));
    CreateDirectoryChain(scratch / L"A\\B\\");
    bool ok = false;
    EXPECT_EQ(ReadBytes(scratch / L"A\\B\\keep.txt", &ok), "kept");
    EXPECT_TRUE(ok);
}

TEST(CreateDirectoryChain, AFileInTheWayStopsTheChainQuietly) {
    ScratchFolder scratch;
    ASSERT_TRUE(WriteBytes(scratch / L"F", std::string("file")));
    CreateDirectoryChain(scratch / L"F\\G\\H\\");
    EXPECT_FALSE(IsFolder(scratch / L"F\\G"));
    EXPECT_EQ(ReadBytes(scratch / L"F"), "file");
}

TEST(CreateDirectoryChain, NameWithoutSeparatorIsCreatedInTheCurrentDirectory) {
    ScratchFolder scratch;
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(scratch.path().c_str()));
    CreateDirectoryChain(L"solo");
    SetCurrentDirectoryW(previous);
    EXPECT_TRUE(IsFolder(scratch / L"solo"));
}

TEST(CreateDirectoryChain, InvalidNamesAndEmptyPathPassSilently) {
    ScratchFolder scratch;
    CreateDirectoryChain(L"");
    CreateDirectoryChain(scratch / L"bad|name\\below\\");
    CreateDirectoryChain(L"Q:\\no-such-drive\\x\\");
    EXPECT_FALSE(IsFolder(scratch / L"bad|name"));
}
