#include <gtest/gtest.h>

#include "storage/Paths.h"
#include "support/TestSupport.h"

namespace {

HRESULT g_folderResult;
std::wstring g_folderText, g_modulePath;

HRESULT WINAPI FakeFolderPath(HWND, int, HANDLE, DWORD, LPWSTR buffer) {
    wcscpy(buffer, g_folderText.c_str());
    return g_folderResult;
}

DWORD WINAPI FakeModuleFileName(HMODULE, LPWSTR buffer, DWORD size) {
    wcsncpy(buffer, g_modulePath.c_str(), size);
    return static_cast<DWORD>(g_modulePath.size());
}

// The real GetEnvironmentVariableW answers: what it gives for long values is what matters.
TEST(Paths, AppDataFolderFromTheShellThenTheVariableThenTheExecutableFolder) {
    PlatformGuard guard;
    g_platform.shGetFolderPathW = &FakeFolderPath;
    g_platform.getModuleFileNameW = &FakeModuleFileName;
    wchar_t saved[MAX_PATH] = {};
    const bool hadVariable = GetEnvironmentVariableW(L"APPDATA", saved, MAX_PATH) != 0;
    const std::wstring fits(259, L'a'), tooLong(260, L'b');  // the buffer holds 260 with the terminator
    const struct {
        HRESULT result;
        const wchar_t* reported;
        const wchar_t* variable;  // null: absent
        const wchar_t* module;
        std::wstring expected;
    } cases[] = {
        {S_OK, L"C:\\Roaming", L"X:\\", L"", L"C:\\Roaming\\"},
        {S_OK, L"C:\\Roaming\\", L"X:\\", L"", L"C:\\Roaming\\"},
        {S_OK, L"C:/Roaming/", L"X:\\", L"", L"C:/Roaming/\\"},  // only a backslash counts as the final one
        {S_OK, L"", L"X:\\Var", L"", L"X:\\Var\\"},              // an empty success would mean the current folder
        {E_FAIL, L"", fits.c_str(), L"", fits + L"\\"},
        {E_FAIL, L"", tooLong.c_str(), L"D:\\T\\a.exe", L"D:\\T\\"},
        {E_FAIL, L"", nullptr, L"D:/T/a.exe", L"D:/T/"},
        {E_FAIL, L"", nullptr, L"D:\\T/b\\a.exe", L"D:\\T/b\\"},
        {E_FAIL, L"", nullptr, L"D:/T\\b/a.exe", L"D:/T\\b/"},
        {E_FAIL, L"", nullptr, L"a.exe", L""},
    };
    for (const auto& c : cases) {
        g_folderResult = c.result;
        g_folderText = c.reported;
        g_modulePath = c.module;
        SetEnvironmentVariableW(L"APPDATA", c.variable);
        EXPECT_EQ(GetAppDataDirectory(), c.expected) << Utf8(c.reported) << (c.variable ? wcslen(c.variable) : 0);
    }
    SetEnvironmentVariableW(L"APPDATA", hadVariable ? saved : nullptr);
}

// Every prefix up to a separator of either kind is created, then the whole path.
TEST(Paths, CreateDirectoryChainCreatesEveryLevel) {
    for (const auto& [relative, deepest] : {std::pair{L"A\\B\\C\\", L"A\\B\\C"}, {L"F/G/H/", L"F\\G\\H"},
                                            {L"M\\N/O", L"M\\N\\O"}, {L"P\\\\Q\\", L"P\\Q"}}) {
        ScratchFolder scratch;
        CreateDirectoryChain(scratch / relative);
        const DWORD attributes = GetFileAttributesW((scratch / deepest).c_str());
        EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) << Utf8(relative);
    }
}

}  // namespace
