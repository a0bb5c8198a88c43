#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "IniTestHelpers.h"
#include "app/Handles.h"

namespace {

constexpr wchar_t kChildPathVariable[] = L"HOVERLATCH_INI_CHILD_PATH";  // file the child saves over and over
constexpr int kKills = 200;                     // children killed at random moments
constexpr DWORD kMaxKillDelayMs = 25;           // upper end of the random wait after the first save
constexpr ULONGLONG kFirstSaveDeadlineMs = 30000;
constexpr ULONGLONG kChildLifetimeMs = 60000;   // an orphaned child stops by itself
const std::string kUserBytes = "; mine\r\n[Trigger]\r\nTopLeft=TaskView\r\n";

// Another program holds the target, or a first writer in mid-save holds the temporary file.
TEST(IniSaveFaults, SaveFailsKeepingTheOldContentWhileTargetOrTemporaryFileIsHeld) {
    for (const wchar_t* held : {L"", L".tmp"}) {
        SCOPED_TRACE(Utf8(held));
        ScratchFolder scratch;
        const std::wstring path = scratch / L"config.ini";
        ASSERT_TRUE(WriteBytes(path, kUserBytes));
        UniqueFile other(CreateFileW((path + held).c_str(), GENERIC_READ | GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, 0, nullptr));
        ASSERT_TRUE(other);
        IniDocument document(path);
        document.SetValue(L"Trigger", L"TopLeft", L"Disabled");
        EXPECT_FALSE(document.Save());
        other.reset();
        EXPECT_EQ(ReadBytes(path), kUserBytes);
        EXPECT_EQ(FileExists(path + L".tmp"), *held != L'\0');  // ours removed, the first writer's kept
    }
}

// Version v of child `run`: size and content change with v, so a torn file cannot pass for one.
IniDocument VersionDocument(const std::wstring& path, DWORD run, unsigned version) {
    IniDocument document(path);
    document.SetValue(L"Run", L"Id", std::to_wstring(run).c_str());
    document.SetValue(L"Run", L"Version", std::to_wstring(version).c_str());
    const std::wstring fill(200 + version * 7919u % 6000u, static_cast<wchar_t>(L'a' + version % 26));
    document.SetValue(L"Data", L"Fill", fill.c_str());
    return document;
}

// Run only as a child of KilledWriterAlwaysLeavesACompleteVersion.
TEST(IniSaveChild, DISABLED_SavesInATightLoop) {
    wchar_t path[MAX_PATH] = {};
    if (!GetEnvironmentVariableW(kChildPathVariable, path, MAX_PATH)) GTEST_SKIP() << "started without a file";
    const ULONGLONG stopAt = GetTickCount64() + kChildLifetimeMs;
    for (unsigned v = 1; GetTickCount64() < stopAt; ++v) VersionDocument(path, GetCurrentProcessId(), v).Save();
}

PROCESS_INFORMATION StartSavingChild() {
    wchar_t executable[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, executable, MAX_PATH);
    std::wstring commandLine = L"\"" + std::wstring(executable) +
                               L"\" --gtest_filter=IniSaveChild.* --gtest_also_run_disabled_tests";
    SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
    UniqueFile nul(CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING, 0, nullptr));
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;  // the child's output would flood the test log
    startup.hStdInput = startup.hStdOutput = startup.hStdError = nul.get();
    PROCESS_INFORMATION process{};
    CreateProcessW(executable, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    return process;
}

// The version the file holds when it is a complete version of this run; 0 otherwise.
unsigned LoadedVersion(const std::wstring& path, DWORD run) {
    IniDocument document(path);
    if (!document.Load() || document.GetValue(L"Run", L"Id", L"") != std::to_wstring(run)) return 0;
    return static_cast<unsigned>(wcstoul(document.GetValue(L"Run", L"Version", L"0").c_str(), nullptr, 10));
}

TEST(IniSaveFaults, KilledWriterAlwaysLeavesACompleteVersion) {
    ScratchFolder scratch;
    const std::wstring path = scratch / L"config.ini", reference = scratch / L"reference.ini";
    ASSERT_TRUE(SetEnvironmentVariableW(kChildPathVariable, path.c_str()));
    std::mt19937 rng(7321);
    int leftoverTemporaryFiles = 0;
    for (int kill = 0; kill < kKills; ++kill) {
        SCOPED_TRACE(testing::Message() << "kill " << kill);
        DeleteFileW(path.c_str());  // so the wait below sees this child's own first save
        const PROCESS_INFORMATION process = StartSavingChild();
        UniqueHandle child(process.hProcess), thread(process.hThread);
        const DWORD run = process.dwProcessId;
        ASSERT_TRUE(child);
        // Counted from the child's first complete save, so every kill hits the loop.
        const ULONGLONG deadline = GetTickCount64() + kFirstSaveDeadlineMs;
        while (LoadedVersion(path, run) == 0) {
            ASSERT_EQ(WaitForSingleObject(child.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "child ended early";
            ASSERT_LT(GetTickCount64(), deadline) << "child never saved";
            Sleep(1);
        }
        Sleep(std::uniform_int_distribution<DWORD>(0, kMaxKillDelayMs)(rng));
        ASSERT_TRUE(TerminateProcess(child.get(), 1));
        ASSERT_EQ(WaitForSingleObject(child.get(), 10000), static_cast<DWORD>(WAIT_OBJECT_0));
        const unsigned version = LoadedVersion(path, run);
        ASSERT_GE(version, 1u) << "the file is not a complete version of this child";
        ASSERT_TRUE(VersionDocument(reference, run, version).Save());
        ASSERT_EQ(ReadBytes(path), ReadBytes(reference)) << "version " << version;
        leftoverTemporaryFiles += FileExists(path + L".tmp");
    }
    SetEnvironmentVariableW(kChildPathVariable, nullptr);
    std::printf("[ figures  ] killed writer: %d kills, each left a complete version; %d left a temporary file\n",
                kKills, leftoverTemporaryFiles);
}

}  // namespace
