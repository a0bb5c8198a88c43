#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <string>
#include <thread>

#include "FakeRuntime.h"
#include "startup/StartupShortcut.h"
#include "support/TestSupport.h"

namespace {

constexpr LONG kPackaged = ERROR_INSUFFICIENT_BUFFER;  // GetCurrentPackageFullName with package identity
constexpr LONG kNotPackaged = 15700;                   // APPMODEL_ERROR_NO_PACKAGE
constexpr DWORD kLnkinfoDeadlineMs = 30000;            // lnkinfo runs in well under a second
constexpr DWORD kPollMs = 20;

std::wstring g_startupFolder;
LONG g_packageAnswer = kNotPackaged;

// The Startup folder and the kind of run under the test's control, the runtime faked.
struct ShortcutScope {
    PlatformGuard guard;
    ShortcutScope(const std::wstring& startupFolder, LONG packageAnswer) {
        InstallFakeRuntime();
        g_startupFolder = startupFolder;
        g_packageAnswer = packageAnswer;
        g_platform.shGetFolderPathW = [](HWND, int folder, HANDLE, DWORD, LPWSTR path) {
            lstrcpynW(path, g_startupFolder.c_str(), MAX_PATH);
            return folder == CSIDL_STARTUP ? S_OK : E_INVALIDARG;
        };
        g_platform.getCurrentPackageFullName = [](UINT32*, PWSTR) { return g_packageAnswer; };
    }
};

std::string UnixPathOf(const std::wstring& path) {
    using ToUnix = char*(CDECL*)(LPCWSTR);
    FARPROC proc = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name");
    char* unixPath = proc ? reinterpret_cast<ToUnix>(reinterpret_cast<void*>(proc))(path.c_str()) : nullptr;
    std::string result = unixPath ? unixPath : "";
    if (unixPath) HeapFree(GetProcessHeap(), 0, unixPath);
    return result;
}

// The shortcut's "Local path" and "Description" as Debian's lnkinfo, an independent parser, reads them.
// Wine hands back no process handle for a Linux program: the script renames its answer into place when done.
std::string LnkinfoFields(const std::wstring& shortcut, const ScratchFolder& work) {
    const std::wstring answer = work / L"lnkinfo.txt";
    DeleteFileW(answer.c_str());
    WriteBytes(work / L"lnkinfo.sh",
               std::string("export LC_ALL=C.UTF-8\n"
                           "lnkinfo \"$1\" | sed -n 's/^[[:space:]]*\\(Local path\\|Description\\)[[:space:]]*: /\\1=/p'"
                           " | sort -u > \"$2.part\"\nmv \"$2.part\" \"$2\"\n"));
    std::string command = "/bin/sh \"" + UnixPathOf(work / L"lnkinfo.sh") + "\" \"" + UnixPathOf(shortcut) + "\" \"" +
                          UnixPathOf(work.path()) + "/lnkinfo.txt\"";
    std::wstring wide(command.size() + 1, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, command.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(L"Z:\\bin\\sh", wide.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        return "(lnkinfo could not be run)";
    }
    if (process.hProcess) CloseHandle(process.hProcess);
    if (process.hThread) CloseHandle(process.hThread);
    for (DWORD start = GetTickCount(); !FileExists(answer) && GetTickCount() - start < kLnkinfoDeadlineMs;) {
        Sleep(kPollMs);
    }
    return ReadBytes(answer);
}

TEST(StartupShortcut, EnablingWritesTheShortcutDisablingDeletesIt) {
    wchar_t executable[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, executable, MAX_PATH);
    for (bool trailingBackslash : {false, true}) {
        SCOPED_TRACE(trailingBackslash ? "folder ends with a backslash" : "folder without a trailing backslash");
        ScratchFolder startup, work;
        std::wstring folder = startup.path();
        if (!trailingBackslash) folder.pop_back();
        ShortcutScope scope(folder, kNotPackaged);
        const std::wstring shortcut = startup / L"Hoverlatch.lnk";

        SetRunAtStartup(true);
        EXPECT_EQ(LnkinfoFields(shortcut, work), "Description=Hoverlatch\nLocal path=" + Utf8(executable) + "\n");
        EXPECT_EQ(g_fake.roInitializeCalls, 0) << "an unpackaged run has no startup task";
        SetRunAtStartup(false);
        EXPECT_FALSE(FileExists(shortcut));
    }
}

// A packaged run starts through its task; a shortcut left by an earlier unpackaged install is removed anyway.
TEST(StartupShortcut, PackagedRunDeletesTheShortcutAndUsesTheTask) {
    for (bool enable : {true, false}) {
        SCOPED_TRACE(enable ? "enable" : "disable");
        ScratchFolder startup;
        ShortcutScope scope(startup.path(), kPackaged);
        g_fake.state = enable ? StartupTaskState::Disabled : StartupTaskState::Enabled;
        ASSERT_TRUE(WriteBytes(startup / L"Hoverlatch.lnk", std::string("left by an unpackaged install")));
        SetRunAtStartup(enable);
        EXPECT_FALSE(FileExists(startup / L"Hoverlatch.lnk"));
        EXPECT_EQ(g_fake.requestEnableCalls, enable ? 1 : 0);
        EXPECT_EQ(g_fake.disableCalls, enable ? 0 : 1);
    }
}

// COM is left as the call found it: outside COM, or in either apartment (where entering the single-threaded
// one fails with RPC_E_CHANGED_MODE and must not be undone).
TEST(StartupShortcut, ComIsLeftAsTheCallFoundIt) {
    for (int model : {-1, static_cast<int>(COINIT_APARTMENTTHREADED), static_cast<int>(COINIT_MULTITHREADED)}) {
        SCOPED_TRACE(testing::Message() << "COM model " << model);
        ScratchFolder startup;
        ShortcutScope scope(startup.path(), kNotPackaged);
        HRESULT before = E_UNEXPECTED, after = E_UNEXPECTED, afterOwnUninit = E_UNEXPECTED;
        APTTYPE typeBefore{}, typeAfter{}, typeLast{};
        std::thread([&] {
            APTTYPEQUALIFIER qualifier{};
            HRESULT init = model < 0 ? E_FAIL : CoInitializeEx(nullptr, static_cast<DWORD>(model));
            before = CoGetApartmentType(&typeBefore, &qualifier);
            SetRunAtStartup(true);
            after = CoGetApartmentType(&typeAfter, &qualifier);
            if (SUCCEEDED(init)) CoUninitialize();
            afterOwnUninit = CoGetApartmentType(&typeLast, &qualifier);
        }).join();
        EXPECT_TRUE(FileExists(startup / L"Hoverlatch.lnk"));
        EXPECT_EQ(after, before);
        EXPECT_EQ(typeAfter, typeBefore);
        EXPECT_EQ(afterOwnUninit, CO_E_NOTINITIALIZED) << "COM left entered once more than the thread did";
    }
}

}  // namespace
