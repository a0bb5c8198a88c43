#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <map>
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

// ---------------------------------------------------------------------------------------------------
// Fakes for the Startup folder, the module path and the run kind.

std::wstring g_startupFolder;
HRESULT g_folderResult = S_OK;
int g_folderCalls = 0;
bool g_folderArgumentsAsDocumented = true;

HRESULT WINAPI FakeShGetFolderPathW(HWND owner, int folder, HANDLE token, DWORD flags, LPWSTR path) {
    ++g_folderCalls;
    g_folderArgumentsAsDocumented =
        owner == nullptr && folder == CSIDL_STARTUP && token == nullptr && flags == SHGFP_TYPE_CURRENT;
    lstrcpynW(path, g_startupFolder.c_str(), MAX_PATH);
    return g_folderResult;
}

std::wstring g_modulePath;      // empty: the real path of this test executable
bool g_moduleTruncated = false;
int g_moduleCalls = 0;

DWORD WINAPI FakeGetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size) {
    ++g_moduleCalls;
    if (g_moduleTruncated) {
        // What Windows does with a path longer than the buffer: cut, terminated, full length returned.
        for (DWORD i = 0; i + 1 < size; ++i) buffer[i] = L'a';
        buffer[size - 1] = L'\0';
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    if (g_modulePath.empty()) return GetModuleFileNameW(module, buffer, size);
    lstrcpynW(buffer, g_modulePath.c_str(), static_cast<int>(size));
    return static_cast<DWORD>(g_modulePath.size());
}

LONG g_packageAnswer = kNotPackaged;
LONG WINAPI FakeGetCurrentPackageFullName(UINT32*, PWSTR) { return g_packageAnswer; }

// Startup folder, module path and run kind under the test's control, the runtime faked.
struct ShortcutScope {
    PlatformGuard platform;
    explicit ShortcutScope(const std::wstring& startupFolder, LONG packageAnswer = kNotPackaged) {
        InstallFakeRuntime();
        g_startupFolder = startupFolder;
        g_folderResult = S_OK;
        g_folderCalls = 0;
        g_modulePath.clear();
        g_moduleTruncated = false;
        g_moduleCalls = 0;
        g_packageAnswer = packageAnswer;
        g_platform.shGetFolderPathW = &FakeShGetFolderPathW;
        g_platform.getModuleFileNameW = &FakeGetModuleFileNameW;
        g_platform.getCurrentPackageFullName = &FakeGetCurrentPackageFullName;
    }
    ~ShortcutScope() { JoinFakeThreads(); }
};

std::wstring ThisExecutable() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

// Every name in a folder (no dot entries).
std::vector<std::wstring> NamesIn(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

// ---------------------------------------------------------------------------------------------------
// Reading a shortcut back with an independent parser: Debian's lnkinfo, a Linux program. Wine starts
// Linux programs through CreateProcess, but hands back no process handle to wait on, so the script
// renames its output into place when lnkinfo is done, and the test waits for that name.

std::string UnixPathOf(const std::wstring& path) {
    using UnixFileName = char*(CDECL*)(LPCWSTR);
    FARPROC proc = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name");
    if (!proc) return {};
    auto convert = reinterpret_cast<UnixFileName>(reinterpret_cast<void*>(proc));
    char* unixPath = convert(path.c_str());
    if (!unixPath) return {};
    std::string result = unixPath;
    HeapFree(GetProcessHeap(), 0, unixPath);
    return result;
}

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty()) return {};
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(), n);
    return text;
}

struct LnkInfo {
    bool ran = false;
    std::string output;                      // all of lnkinfo's text, for failure messages
    std::map<std::wstring, std::wstring> fields;  // "Local path" -> value, first occurrence of each
};

LnkInfo ReadWithLnkinfo(const std::wstring& shortcut, const ScratchFolder& work) {
    LnkInfo info;
    const std::wstring script = work / L"lnkinfo.sh";
    const std::wstring output = work / L"lnkinfo.txt";
    DeleteFileW(output.c_str());  // the answer of an earlier reading must not pass for this one
    WriteBytes(script,
               std::string("#!/bin/sh\n"
                           "LC_ALL=C.UTF-8 lnkinfo \"$1\" > \"$2.part\" 2>&1\n"
                           "mv \"$2.part\" \"$2\"\n"));
    const std::string unixScript = UnixPathOf(script);
    const std::string unixShortcut = UnixPathOf(shortcut);
    const std::string unixOutput = UnixPathOf(work.path()) + "/lnkinfo.txt";
    if (unixScript.empty() || unixShortcut.empty()) return info;

    std::wstring command = L"/bin/sh \"" + Wide(unixScript) + L"\" \"" + Wide(unixShortcut) + L"\" \"" +
                           Wide(unixOutput) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(L"Z:\\bin\\sh", command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        return info;
    }
    if (process.hProcess) CloseHandle(process.hProcess);
    if (process.hThread) CloseHandle(process.hThread);

    const DWORD start = GetTickCount();
    while (!FileExists(output) && GetTickCount() - start < kLnkinfoDeadlineMs) Sleep(kPollMs);
    bool ok = false;
    info.output = ReadBytes(output, &ok);
    info.ran = ok;
    // Lines look like "\tLocal path\t\t\t: Z:\\folder\\program.exe".
    std::wstring text = Wide(info.output);
    size_t lineStart = 0;
    while (lineStart < text.size()) {
        size_t lineEnd = text.find(L'\n', lineStart);
        if (lineEnd == std::wstring::npos) lineEnd = text.size();
        std::wstring line = text.substr(lineStart, lineEnd - lineStart);
        lineStart = lineEnd + 1;
        size_t colon = line.find(L':');
        if (colon == std::wstring::npos) continue;
        std::wstring key = line.substr(0, colon);
        std::wstring value = colon + 2 <= line.size() ? line.substr(colon + 2) : L"";
        size_t first = key.find_first_not_of(L" \t");
        size_t last = key.find_last_not_of(L" \t");
        if (first == std::wstring::npos) continue;
        key = key.substr(first, last - first + 1);
        while (!value.empty() && (value.back() == L'\r' || value.back() == L' ')) value.pop_back();
        info.fields.emplace(key, value);
    }
    return info;
}

// The shortcut's target and description as lnkinfo reads them, or a failure saying what it read.
testing::AssertionResult ShortcutPointsAt(const std::wstring& shortcut, const std::wstring& target,
                                          const ScratchFolder& work) {
    if (!FileExists(shortcut)) return testing::AssertionFailure() << "no shortcut file";
    LnkInfo info = ReadWithLnkinfo(shortcut, work);
    if (!info.ran) return testing::AssertionFailure() << "lnkinfo could not be run";
    auto field = [&](const wchar_t* key) {
        auto it = info.fields.find(key);
        return it == info.fields.end() ? std::wstring(L"(absent)") : it->second;
    };
    if (field(L"Local path") != target || field(L"Description") != L"Hoverlatch" ||
        info.fields.count(L"Command line arguments") != 0) {
        return testing::AssertionFailure() << "lnkinfo read:\n" << info.output;
    }
    return testing::AssertionSuccess();
}

// ---------------------------------------------------------------------------------------------------

TEST(StartupShortcutPath, IsTheStartupFolderWithOneSeparatorAndTheShortcutName) {
    struct Case {
        HRESULT result;
        const wchar_t* folder;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {S_OK, L"C:\\Users\\ada\\Start Menu\\Programs\\Startup", L"C:\\Users\\ada\\Start Menu\\Programs\\Startup\\Hoverlatch.lnk"},
        {S_OK, L"C:\\Users\\ada\\Start Menu\\Programs\\Startup\\", L"C:\\Users\\ada\\Start Menu\\Programs\\Startup\\Hoverlatch.lnk"},
        {S_OK, L"D:\\", L"D:\\Hoverlatch.lnk"},
        {S_FALSE, L"C:\\Users\\ada\\Startup", L"C:\\Users\\ada\\Startup\\Hoverlatch.lnk"},  // folder not created yet
        {S_OK, L"", L""},
        {E_FAIL, L"C:\\Users\\ada\\Startup", L""},
        {E_INVALIDARG, L"", L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.folder << " 0x" << std::hex << c.result);
        ShortcutScope scope(c.folder);
        g_folderResult = c.result;
        EXPECT_EQ(GetStartupShortcutPath(), c.expected);
        EXPECT_EQ(g_folderCalls, 1);
        EXPECT_TRUE(g_folderArgumentsAsDocumented);
    }
}

TEST(StartupShortcut, EnablingCreatesAShortcutToTheRunningExecutable) {
    for (bool trailingSeparator : {false, true}) {
        SCOPED_TRACE(trailingSeparator ? "folder ends with a backslash" : "folder without a trailing backslash");
        ScratchFolder startup;
        ScratchFolder work;
        std::wstring folder = startup.path();
        if (!trailingSeparator) folder.pop_back();
        ShortcutScope scope(folder);

        SetRunAtStartup(true);

        EXPECT_EQ(NamesIn(startup.path()), std::vector<std::wstring>{L"Hoverlatch.lnk"});
        EXPECT_TRUE(ShortcutPointsAt(startup / L"Hoverlatch.lnk", ThisExecutable(), work));
        EXPECT_EQ(g_fakeRuntime.factoryCalls, 0) << "an unpackaged run has no startup task";
    }
}

// Every start rewrites the shortcut, so a moved executable, or a damaged file, is set right.
TEST(StartupShortcut, EnablingRewritesWhatIsThere) {
    ScratchFolder startup;
    ScratchFolder work;
    ShortcutScope scope(startup.path());
    const std::wstring shortcut = startup / L"Hoverlatch.lnk";
    const std::wstring moved = work / L"Hover Latch Déjà\\Hoverlatch.exe";
    CreateDirectoryW((work / L"Hover Latch Déjà").c_str(), nullptr);
    ASSERT_TRUE(WriteBytes(moved, std::string("MZ")));

    ASSERT_TRUE(WriteBytes(shortcut, std::string("not a shortcut at all")));
    SetRunAtStartup(true);
    EXPECT_TRUE(ShortcutPointsAt(shortcut, ThisExecutable(), work));

    g_modulePath = moved;
    SetRunAtStartup(true);
    EXPECT_TRUE(ShortcutPointsAt(shortcut, moved, work));
}

// A path cut off at MAX_PATH would point the shortcut at something else: nothing is written.
TEST(StartupShortcut, TruncatedExecutablePathWritesNoShortcut) {
    ScratchFolder startup;
    ShortcutScope scope(startup.path());
    g_moduleTruncated = true;
    SetRunAtStartup(true);
    EXPECT_EQ(g_moduleCalls, 1);
    EXPECT_TRUE(NamesIn(startup.path()).empty());
}

TEST(StartupShortcut, DisablingDeletesOnlyTheShortcut) {
    ScratchFolder startup;
    ShortcutScope scope(startup.path());
    ASSERT_TRUE(WriteBytes(startup / L"Other.lnk", std::string("someone else's")));

    SetRunAtStartup(true);
    ASSERT_TRUE(FileExists(startup / L"Hoverlatch.lnk"));
    SetRunAtStartup(false);
    EXPECT_EQ(NamesIn(startup.path()), std::vector<std::wstring>{L"Other.lnk"});
    SetRunAtStartup(false);  // nothing to delete: nothing else changes
    EXPECT_EQ(NamesIn(startup.path()), std::vector<std::wstring>{L"Other.lnk"});
    // A shortcut of that name is removed whoever made it.
    ASSERT_TRUE(WriteBytes(startup / L"Hoverlatch.lnk", std::string("hand-made")));
    SetRunAtStartup(false);
    EXPECT_EQ(NamesIn(startup.path()), std::vector<std::wstring>{L"Other.lnk"});
}

TEST(StartupShortcut, WithoutAStartupFolderAnUnpackagedRunDoesNothing) {
    for (bool enable : {true, false}) {
        SCOPED_TRACE(enable ? "enable" : "disable");
        ShortcutScope scope(L"");
        g_folderResult = E_FAIL;
        SetRunAtStartup(enable);
        EXPECT_EQ(g_folderCalls, 1);
        EXPECT_EQ(g_moduleCalls, 0);
        EXPECT_EQ(g_fakeRuntime.roInitializeCalls, 0);
    }
}

// A packaged run starts through its package's task; a shortcut from an earlier unpackaged installation
// is removed whatever the choice.
TEST(StartupShortcut, PackagedRunDeletesTheShortcutAndUsesTheTask) {
    struct Case {
        bool enable;
        StartupTaskState state;
        int requests;
        int disables;
    };
    const Case cases[] = {
        {true, StartupTaskState::Disabled, 1, 0},
        {true, StartupTaskState::Enabled, 0, 0},
        {false, StartupTaskState::Enabled, 0, 1},
        {false, StartupTaskState::Disabled, 0, 0},
    };
    for (const Case& c : cases) {
        for (bool startupFolderKnown : {true, false}) {
            SCOPED_TRACE(testing::Message() << (c.enable ? "enable" : "disable") << ", state "
                                            << static_cast<int>(c.state)
                                            << (startupFolderKnown ? "" : ", no Startup folder"));
            ScratchFolder startup;
            {
                ShortcutScope scope(startup.path(), kPackaged);
                if (!startupFolderKnown) g_folderResult = E_FAIL;
                g_fakeRuntime.state = c.state;
                g_fakeRuntime.completion = Completion::Posted;
                ASSERT_TRUE(WriteBytes(startup / L"Hoverlatch.lnk", std::string("left by an unpackaged install")));

                SetRunAtStartup(c.enable);

                EXPECT_EQ(FileExists(startup / L"Hoverlatch.lnk"), !startupFolderKnown);
                EXPECT_EQ(g_moduleCalls, 0) << "a packaged run writes no shortcut";
                EXPECT_EQ(g_fakeRuntime.factoryCalls, 1);
                EXPECT_EQ(g_fakeRuntime.getStateCalls, 1);
                EXPECT_EQ(g_fakeRuntime.requestEnableCalls, c.requests);
                EXPECT_EQ(g_fakeRuntime.disableCalls, c.disables);
                EXPECT_EQ(g_fakeRuntime.roUninitializeCalls, g_fakeRuntime.roInitializeCalls);
            }
            EXPECT_EQ(g_fakeObjectsAlive.load(), 0);
            EXPECT_FALSE(g_watchdogFired.load());
        }
    }
}

// COM is left as the call found it: not entered on a thread outside COM, still entered once on a thread
// that was in its single-threaded apartment, and still in the multithreaded apartment on a thread that was
// there (where entering the single-threaded one fails with RPC_E_CHANGED_MODE).
TEST(StartupShortcut, ComIsLeftAsTheCallFoundIt) {
    struct Case {
        const char* name;
        bool inCom;
        DWORD model;
    };
    const Case cases[] = {
        {"no COM", false, 0},
        {"single-threaded apartment", true, COINIT_APARTMENTTHREADED},
        {"multithreaded apartment", true, COINIT_MULTITHREADED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder startup;
        ShortcutScope scope(startup.path());
        HRESULT before = E_UNEXPECTED, after = E_UNEXPECTED, afterOwnUninit = E_UNEXPECTED;
        APTTYPE typeBefore{}, typeAfter{};
        bool created = false;
        std::thread([&] {
            APTTYPEQUALIFIER qualifier{};
            HRESULT init = c.inCom ? CoInitializeEx(nullptr, c.model) : S_FALSE;
            before = CoGetApartmentType(&typeBefore, &qualifier);
            SetRunAtStartup(true);
            created = FileExists(startup / L"Hoverlatch.lnk");
            after = CoGetApartmentType(&typeAfter, &qualifier);
            if (c.inCom && SUCCEEDED(init)) {
                CoUninitialize();
                APTTYPE type{};
                afterOwnUninit = CoGetApartmentType(&type, &qualifier);
            }
        }).join();
        EXPECT_TRUE(created);
        EXPECT_EQ(after, before);
        if (SUCCEEDED(before)) {
            EXPECT_EQ(typeAfter, typeBefore);
        }
        if (!c.inCom) {
            EXPECT_EQ(after, CO_E_NOTINITIALIZED);
        }
        // The thread's own initialisation was the only one left to undo.
        if (c.inCom) {
            EXPECT_EQ(afterOwnUninit, CO_E_NOTINITIALIZED);
        }
    }
}

}  // namespace
