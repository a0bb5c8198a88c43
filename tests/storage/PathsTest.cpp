#include <gtest/gtest.h>

#include "storage/Paths.h"
#include "support/TestSupport.h"

namespace {

// variable null: absent
struct FolderCase { HRESULT result; const wchar_t *reported, *variable, *module; std::wstring expected; };
const FolderCase* g_case;

// The real GetEnvironmentVariableW answers: what it gives for long values is what matters.
TEST(Paths, AppDataFolderFromTheShellThenTheVariableThenTheExecutableFolder) {
    PlatformGuard guard;
    g_platform.shGetFolderPathW = [](HWND, int, HANDLE, DWORD, LPWSTR out) {
        return wcscpy(out, g_case->reported), g_case->result;
    };
    g_platform.getModuleFileNameW = [](HMODULE, LPWSTR out, DWORD size) {
        return wcsncpy(out, g_case->module, size), static_cast<DWORD>(wcslen(g_case->module));
    };
    wchar_t saved[MAX_PATH] = {};
    const bool hadVariable = GetEnvironmentVariableW(L"APPDATA", saved, MAX_PATH) != 0;
    const std::wstring fits(259, L'a'), tooLong(260, L'b');  // the buffer holds 260 with the terminator
    const FolderCase cases[] = {
        {S_OK, L"C:\\Roaming", L"X:\\", L"", L"C:\\Roaming\\"},
        {S_OK, L"C:\\Roaming\\", L"X:\\", L"", L"C:\\Roaming\\"},
        {S_OK, L"C:/Roaming/", L"X:\\", L"", L"C:/Roaming/\\"},  // only a backslash counts as the final one
        {S_OK, L"", L"X:\\Var", L"", L"X:\\Var\\"},              // an empty success would mean the current folder
        {E_FAIL, L"", fits.c_str(), L"", fits + L"\\"},
        {E_FAIL, L"", tooLong.c_str(), L"D:\\T/b\\a.exe", L"D:\\T/b\\"},
        {E_FAIL, L"", nullptr, L"D:/T\\b/a.exe", L"D:/T\\b/"},
        {E_FAIL, L"", nullptr, L"a.exe", L""},
    };
    for (const FolderCase& c : cases) {
        g_case = &c;
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
        EXPECT_TRUE(FileExists(scratch / deepest + L"\\")) << Utf8(relative);  // a final backslash: folders only
    }
}

}  // namespace
