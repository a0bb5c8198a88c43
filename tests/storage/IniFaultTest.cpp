#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "IniTestHelpers.h"
#include "platform/Handles.h"

namespace {

constexpr int kLoadInputs = 100000;     // random and mutated files handed to Load
constexpr int kRoundTripEvery = 20;     // every n-th loaded input is saved and loaded back
constexpr int kLargeInputEvery = 2500;  // every n-th input lies around the 512 KiB limit

const std::string kInteresting("[]=; \t\r\n#a\0\xFF\xFE\xEF\xBB\xBF\xC3\xA9\x80\xE9", 20);

std::mt19937 g_rng{20240611};  // fixed, so a failure can be replayed
size_t Pick(size_t bound) { return bound ? std::uniform_int_distribution<size_t>(0, bound - 1)(g_rng) : 0; }
char Byte() { return Pick(4) ? kInteresting[Pick(kInteresting.size())] : static_cast<char>(Pick(256)); }

// A seed, or random bytes for the empty one, mutated by inserts, copies and cuts.
std::string MakeInput(int index) {
    static const std::string seeds[] = {DefaultConfigResource(), Utf16Bytes(L"[T]\nk=v", false), "",
                                        Utf16Bytes(L"[T]\r\nA = b ; c\n[U]\rk=\u65E5\U0001F600\r\n=x\r\n[]", true)};
    std::string bytes = seeds[Pick(std::size(seeds))];
    for (size_t n = bytes.empty() ? Pick(300) : 0; n > 0; --n) bytes += Byte();
    for (size_t e = 1 + Pick(8); e > 0; --e) {
        const size_t at = Pick(bytes.size() + 1);
        if (Pick(3)) bytes.insert(at, Pick(8) ? std::string(1, Byte()) : bytes.substr(at / 2, Pick(64)));
        else bytes.erase(at, Pick(4) ? Pick(16) : std::string::npos);
    }
    if (index % kLargeInputEvery == 0) {  // cut to just below or just above the limit
        while (bytes.size() < kMaxFileBytes + 64) bytes += bytes + "x";
        bytes.resize(kMaxFileBytes - 64 + Pick(128));
    }
    return bytes;
}

TEST(IniProperties, LoadSurvivesRandomAndMutatedFilesAndSavesWhatItLoaded) {
    ScratchFolder scratch;
    const std::wstring path = scratch / L"config.ini";
    // Rewritten in place, shared with Load's reads: recreating the file per input is four times slower under Wine.
    UniqueFile writer(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    int loaded = 0, roundTrips = 0;
    for (int i = 0; i < kLoadInputs; ++i) {
        SCOPED_TRACE(testing::Message() << "input " << i);
        const std::string bytes = MakeInput(i);
        DWORD written = 0;
        ASSERT_TRUE(SetFilePointer(writer.get(), 0, nullptr, FILE_BEGIN) == 0 &&
                    WriteFile(writer.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    SetEndOfFile(writer.get()));
        IniDocument document(path);
        const bool result = document.Load();
        const IniContents contents = ContentsOf(document);
        std::wstring text;  // everything the document holds
        for (const auto& [section, keys] : contents) {
            text += section + L'\n';
            for (const auto& [key, value] : keys) {
                ASSERT_TRUE(!key.empty() && key == TrimBlanks(key) && value == TrimBlanks(value) &&
                            key.find(L'=') == key.npos && (section + key + value).find_first_of(L"\r\n") == key.npos);
                text += key + L'=' + value + L'\n';
            }
        }
        // Only an oversized file is refused and protected; otherwise only a file of at most a mark fails.
        ASSERT_TRUE(bytes.size() > kMaxFileBytes ? !result && document.loadFailedOnExistingFile
                                                 : !document.loadFailedOnExistingFile && (result || bytes.size() <= 3));
        loaded += result;
        // UTF-8 cannot carry a lone surrogate from a UTF-16 file: such a document does not come back unchanged.
        const int size = static_cast<int>(text.size());
        if (i % kRoundTripEvery != 1 ||
            !WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(), size, nullptr, 0, nullptr, nullptr))
            continue;
        document.path = scratch / L"saved.ini";
        IniDocument reloaded(document.path);
        ASSERT_TRUE(document.Save() && reloaded.Load());
        ASSERT_EQ(ContentsOf(reloaded), contents);
        ++roundTrips;
    }
    std::printf("[ figures  ] Load: %d inputs, %d loaded, %d round trips unchanged\n", kLoadInputs, loaded, roundTrips);
    EXPECT_GT(loaded, kLoadInputs * 9 / 10);  // mostly reaching the parser, not stopping at the checks
}

constexpr wchar_t kChildFile[] = L"killed-writer.ini";  // in the child's working folder
constexpr int kKills = 200;                 // children killed at random moments
constexpr DWORD kMaxKillDelayMs = 25;       // upper end of the random wait after the first save
constexpr ULONGLONG kDeadlineMs = 30000;    // for the child's first save; twice that is its lifetime

// Another program holds the target, or a first writer in mid-save holds the temporary file.
TEST(IniSaveFaults, SaveFailsKeepingTheOldContentWhileTargetOrTemporaryFileIsHeld) {
    for (const wchar_t* held : {L"", L".tmp"}) {
        ScratchFolder scratch;
        const std::wstring path = scratch / L"config.ini";
        ASSERT_TRUE(WriteBytes(path, "; mine"));
        UniqueFile other(CreateFileW((path + held).c_str(), GENERIC_READ | GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, 0, nullptr));
        IniDocument document(path);
        document.SetValue(L"Trigger", L"TopLeft", L"Disabled");
        EXPECT_FALSE(!other || document.Save()) << Utf8(held);
        other.reset();
        EXPECT_EQ(ReadBytes(path), "; mine");
        EXPECT_EQ(FileExists(path + L".tmp"), *held != L'\0');  // ours removed, the first writer's kept
    }
}

// Version v of child `run`: size and content change with v, so a torn file cannot pass for one.
IniDocument VersionDocument(const std::wstring& path, const std::wstring& run, unsigned v) {
    IniDocument document(path);
    document.SetValue(run.c_str(), L"Version", std::to_wstring(v).c_str());
    document.SetValue(L"Data", L"Fill", std::wstring(200 + v * 7919u % 6000u, L'a' + v % 26).c_str());
    return document;
}

// Run only as a child of KilledWriterAlwaysLeavesACompleteVersion.
TEST(IniSaveChild, DISABLED_SavesInATightLoop) {
    const ULONGLONG stopAt = GetTickCount64() + 2 * kDeadlineMs;
    for (unsigned v = 1; GetTickCount64() < stopAt; ++v)
        VersionDocument(kChildFile, std::to_wstring(GetCurrentProcessId()), v).Save();
}

TEST(IniSaveFaults, KilledWriterAlwaysLeavesACompleteVersion) {
    ScratchFolder scratch;
    const std::wstring path = scratch / kChildFile;
    wchar_t executable[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, executable, MAX_PATH);
    wchar_t commandLine[] = L"child --gtest_filter=IniSaveChild.* --gtest_also_run_disabled_tests";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    for (int kill = 0; kill < kKills; ++kill) {
        DeleteFileW(path.c_str());  // the file appears again with the child's first complete save
        PROCESS_INFORMATION process{};
        // Detached, without our handles: the children's output would flood the test log.
        CreateProcessW(executable, commandLine, nullptr, nullptr, FALSE, DETACHED_PROCESS,
                       nullptr, scratch.path().c_str(), &startup, &process);
        UniqueHandle child(process.hProcess), thread(process.hThread);
        for (const ULONGLONG deadline = GetTickCount64() + kDeadlineMs; !FileExists(path); Sleep(1))
            ASSERT_TRUE(GetTickCount64() < deadline && WaitForSingleObject(child.get(), 0) == WAIT_TIMEOUT)
                << "child ended or never saved";
        Sleep(static_cast<DWORD>(Pick(kMaxKillDelayMs + 1)));
        ASSERT_TRUE(TerminateProcess(child.get(), 1) && WaitForSingleObject(child.get(), 10000) == WAIT_OBJECT_0);
        const std::wstring run = std::to_wstring(process.dwProcessId);
        IniDocument saved(path);
        saved.Load();
        const unsigned version = wcstoul(saved.GetValue(run.c_str(), L"Version", L"0").c_str(), nullptr, 10);
        ASSERT_EQ(ContentsOf(saved), ContentsOf(VersionDocument(path, run, version))) << "kill " << kill;
    }
    std::printf("[ figures  ] killed writer: %d kills, each left a complete version\n", kKills);
}

}  // namespace
