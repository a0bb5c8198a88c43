#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>

#include "IniTestHelpers.h"
#include "app/Handles.h"
#include "storage/IniDocument.h"
#include "support/TestSupport.h"

namespace {

constexpr wchar_t kChildPathVariable[] = L"HOVERLATCH_INI_CHILD_PATH";  // file the child saves over and over
constexpr wchar_t kChildRunVariable[] = L"HOVERLATCH_INI_CHILD_RUN";    // tags every version of one child
constexpr int kKills = 200;                    // children killed at random moments
constexpr DWORD kMaxKillDelayMs = 25;          // upper end of the random wait after the first save
constexpr ULONGLONG kFirstSaveDeadlineMs = 30000;
constexpr DWORD kExitDeadlineMs = 10000;
constexpr ULONGLONG kChildLifetimeMs = 60000;  // an orphaned child stops by itself
constexpr unsigned kSeed = 7321;

const std::string kUserBytes = "; hand-written\r\n[Trigger]\r\nTopLeft=TaskView\r\n";

TEST(IniSaveFaults, TargetHeldOpenByAnotherHandleKeepsItsContent) {
    ScratchFolder scratch;
    const std::wstring path = scratch / L"config.ini";
    ASSERT_TRUE(WriteBytes(path, kUserBytes));
    IniDocument document(path);
    ASSERT_TRUE(document.Load());
    document.SetValue(L"Trigger", L"TopLeft", L"Disabled");

    // Another program reading the file, sharing read and write but not delete.
    UniqueFile reader(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(reader);
    EXPECT_FALSE(document.Save());
    reader.reset();

    EXPECT_EQ(ReadBytes(path), kUserBytes);
    EXPECT_FALSE(FileExists(path + L".tmp"));
    // Once the other handle is gone the same document saves.
    EXPECT_TRUE(document.Save());
    EXPECT_EQ(ReadBytes(path), SavedForm(L"[Trigger]\r\nTopLeft=Disabled"));
}

TEST(IniSaveFaults, SecondWriterFailsWhileTheFirstHoldsTheTemporaryFile) {
    ScratchFolder scratch;
    const std::wstring path = scratch / L"config.ini";
    ASSERT_TRUE(WriteBytes(path, kUserBytes));
    // The first writer, between creating its temporary file and moving it.
    UniqueFile firstWriter(CreateFileW((path + L".tmp").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(firstWriter);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(firstWriter.get(), "half", 4, &written, nullptr));

    IniDocument second(path);
    second.SetValue(L"Trigger", L"TopLeft", L"Disabled");
    EXPECT_FALSE(second.Save());
    EXPECT_FALSE(WriteFileAtomically(path, L"[X]"));
    firstWriter.reset();

    // Neither the target nor the first writer's temporary file was touched.
    EXPECT_EQ(ReadBytes(path), kUserBytes);
    EXPECT_EQ(ReadBytes(path + L".tmp"), "half");
}

// Version v of one child's document: its size and content change with v, so a torn or mixed file
// cannot pass for a complete version.
IniDocument VersionDocument(const std::wstring& path, const std::wstring& run, unsigned version) {
    IniDocument document(path);
    std::wstring fill(200 + (version * 7919u) % 6000u, L'\0');
    for (size_t i = 0; i < fill.size(); ++i) fill[i] = static_cast<wchar_t>(L'a' + (version + i) % 26);
    document.SetValue(L"Run", L"Id", run.c_str());
    document.SetValue(L"Run", L"Version", std::to_wstring(version).c_str());
    document.SetValue(L"Data", L"Fill", fill.c_str());
    document.SetValue(L"Data", L"Check", std::to_wstring(version * 2654435761u).c_str());
    return document;
}

std::wstring Variable(const wchar_t* name) {
    wchar_t value[MAX_PATH] = {};
    DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
    return (length == 0 || length >= MAX_PATH) ? std::wstring() : std::wstring(value, length);
}

// Run only as a child of KilledWriterAlwaysLeavesACompleteVersion.
TEST(IniSaveChild, DISABLED_SavesInATightLoop) {
    const std::wstring path = Variable(kChildPathVariable);
    const std::wstring run = Variable(kChildRunVariable);
    if (path.empty() || run.empty()) GTEST_SKIP() << "started without a file to save";
    const ULONGLONG stopAt = GetTickCount64() + kChildLifetimeMs;
    for (unsigned version = 1; GetTickCount64() < stopAt; ++version) VersionDocument(path, run, version).Save();
}

std::wstring ThisExecutable() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

UniqueHandle StartSavingChild(const std::wstring& executable) {
    std::wstring commandLine = L"\"" + executable +
                               L"\" --gtest_filter=IniSaveChild.DISABLED_SavesInATightLoop"
                               L" --gtest_also_run_disabled_tests";
    SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
    UniqueFile nul(CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nul.get();
    startup.hStdOutput = nul.get();
    startup.hStdError = nul.get();
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(executable.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &process)) {
        return UniqueHandle();
    }
    CloseHandle(process.hThread);
    return UniqueHandle(process.hProcess);
}

// The version the file holds when it is a complete version of this run; 0 otherwise.
unsigned LoadedVersion(const std::wstring& path, const std::wstring& run) {
    IniDocument document(path);
    if (!document.Load() || document.GetValue(L"Run", L"Id", L"") != run) return 0;
    return static_cast<unsigned>(wcstoul(document.GetValue(L"Run", L"Version", L"0").c_str(), nullptr, 10));
}

TEST(IniSaveFaults, KilledWriterAlwaysLeavesACompleteVersion) {
    ScratchFolder scratch;
    const std::wstring path = scratch / L"config.ini";
    const std::wstring reference = scratch / L"reference.ini";
    const std::wstring executable = ThisExecutable();
    ASSERT_TRUE(SetEnvironmentVariableW(kChildPathVariable, path.c_str()));
    std::mt19937 rng(kSeed);
    int leftoverTemporaryFiles = 0;
    unsigned highestVersion = 0;
    unsigned lowestVersion = ~0u;

    for (int kill = 0; kill < kKills; ++kill) {
        SCOPED_TRACE(testing::Message() << "kill " << kill);
        const std::wstring run = std::to_wstring(kill + 1);
        ASSERT_TRUE(SetEnvironmentVariableW(kChildRunVariable, run.c_str()));
        UniqueHandle child = StartSavingChild(executable);
        ASSERT_TRUE(child);

        // The moment is counted from the child's first complete save, so every kill hits the loop.
        const ULONGLONG deadline = GetTickCount64() + kFirstSaveDeadlineMs;
        while (LoadedVersion(path, run) == 0) {
            ASSERT_EQ(WaitForSingleObject(child.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "child ended early";
            ASSERT_LT(GetTickCount64(), deadline) << "child never saved";
            Sleep(1);
        }
        Sleep(std::uniform_int_distribution<DWORD>(0, kMaxKillDelayMs)(rng));
        ASSERT_TRUE(TerminateProcess(child.get(), 1));
        ASSERT_EQ(WaitForSingleObject(child.get(), kExitDeadlineMs), static_cast<DWORD>(WAIT_OBJECT_0));

        const unsigned version = LoadedVersion(path, run);
        ASSERT_GE(version, 1u) << "the file is not a complete version of this child";
        ASSERT_TRUE(VersionDocument(reference, run, version).Save());
        ASSERT_EQ(ReadBytes(path), ReadBytes(reference)) << "version " << version;
        if (FileExists(path + L".tmp")) ++leftoverTemporaryFiles;
        highestVersion = std::max(highestVersion, version);
        lowestVersion = std::min(lowestVersion, version);
    }
    SetEnvironmentVariableW(kChildPathVariable, nullptr);
    SetEnvironmentVariableW(kChildRunVariable, nullptr);
    std::printf("[ figures  ] killed writer: %d kills, every file a complete version (versions %u to %u);"
                " %d kills left a temporary file behind (killed mid-save)\n",
                kKills, lowestVersion, highestVersion, leftoverTemporaryFiles);
}

}  // namespace
