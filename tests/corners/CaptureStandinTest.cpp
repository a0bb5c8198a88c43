// Real starts through ShellExecuteExW: the capture stand-in (built beside the test executables)
// records its command line and current directory, one line per start, in a log we wait for.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "corners/CaptureLaunch.h"
#include "corners/CornerTracker.h"
#include "storage/Paths.h"
#include "support/TestSupport.h"

namespace {

constexpr DWORD kLogDeadlineMs = 30000;  // a cold Wine process start can take seconds
constexpr DWORD kLogPollMs = 20;

std::wstring g_appData;
int g_shellCalls = 0;

HRESULT WINAPI ScratchAppData(HWND, int, HANDLE, DWORD, LPWSTR buffer) {
    wcsncpy(buffer, g_appData.c_str(), MAX_PATH - 1);
    return S_OK;
}
// The real shell, counted.
BOOL WINAPI CountedShellExecute(SHELLEXECUTEINFOW* info) {
    ++g_shellCalls;
    return ShellExecuteExW(info);
}

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty()) return {};
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(), n);
    return text;
}

using Record = std::map<std::wstring, std::wstring>;

std::vector<Record> ReadLog(const std::wstring& log) {
    std::vector<Record> records;
    std::wstring text = Wide(ReadBytes(log));
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) break;  // a line still being written
        Record record;
        std::wstring line = text.substr(start, end - start);
        size_t field = 0;
        while (field <= line.size()) {
            size_t tab = line.find(L'\t', field);
            if (tab == std::wstring::npos) tab = line.size();
            std::wstring item = line.substr(field, tab - field);
            size_t equals = item.find(L'=');
            if (equals != std::wstring::npos) record[item.substr(0, equals)] = item.substr(equals + 1);
            field = tab + 1;
        }
        records.push_back(record);
        start = end + 1;
    }
    return records;
}

std::vector<Record> WaitForRecords(const std::wstring& log, size_t count) {
    DWORD start = GetTickCount();
    std::vector<Record> records = ReadLog(log);
    while (records.size() < count && GetTickCount() - start < kLogDeadlineMs) {
        Sleep(kLogPollMs);
        records = ReadLog(log);
    }
    return records;
}

std::wstring Folded(std::wstring path) {
    while (path.size() > 3 && path.back() == L'\\') path.pop_back();
    CharLowerBuffW(path.data(), static_cast<DWORD>(path.size()));
    return path;
}

// Top-level visible windows of this process: a dialog shown by a start would be one of them.
int VisibleWindowsOfThisProcess() {
    int count = 0;
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            DWORD process = 0;
            GetWindowThreadProcessId(window, &process);
            if (process == GetCurrentProcessId() && IsWindowVisible(window)) ++*reinterpret_cast<int*>(param);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&count));
    return count;
}

class CaptureStandin : public ::testing::Test {
protected:
    void SetUp() override {
        std::wstring root = scratch.path();
        g_appData = root.substr(0, root.size() - 1);
        g_shellCalls = 0;
        g_platform.shGetFolderPathW = &ScratchAppData;
        g_platform.shellExecuteExW = &CountedShellExecute;
        g_tracker = CornerTracker{};

        builtStandin = GetExecutableDirectory() + L"capture_standin.exe";
        ASSERT_TRUE(FileExists(builtStandin)) << "build the stand-in first: " << Utf8(builtStandin);
        // A copy in a folder of its own, with spaces: the working directory then differs from ours.
        toolFolder = scratch / L"Framwick Tool";
        standin = toolFolder + L"\\capture standin.exe";
        CreateDirectoryChain(toolFolder + L"\\");
        ASSERT_TRUE(CopyFileW(builtStandin.c_str(), standin.c_str(), FALSE));
        CreateDirectoryChain(scratch / L"quenby\\Framwick\\");
        location = scratch / L"quenby\\Framwick\\capture-exe.txt";

        log = scratch / L"capture.log";
        wchar_t old[32768] = {};
        DWORD length = GetEnvironmentVariableW(L"HOVERLATCH_CAPTURE_LOG", old, 32768);
        hadLogVariable = length != 0 && length < 32768;
        savedLogVariable = old;
        SetEnvironmentVariableW(L"HOVERLATCH_CAPTURE_LOG", log.c_str());
        GetCurrentDirectoryW(MAX_PATH, previousDirectory);
    }
    void TearDown() override {
        SetCurrentDirectoryW(previousDirectory);
        SetEnvironmentVariableW(L"HOVERLATCH_CAPTURE_LOG", hadLogVariable ? savedLogVariable.c_str() : nullptr);
    }
    void PointAt(const std::wstring& path) { ASSERT_TRUE(WriteBytes(location, Utf16Bytes(path + L"\r\n", true))); }

    ScratchFolder scratch;
    PlatformGuard platform;
    GlobalsGuard globals;
    std::wstring builtStandin, toolFolder, standin, location, log, savedLogVariable;
    bool hadLogVariable = false;
    wchar_t previousDirectory[MAX_PATH] = {};
};

const CornerAction kCaptureActions[] = {
    CornerAction::FramwickRegion, CornerAction::FramwickWindow, CornerAction::FramwickFullscreen,
    CornerAction::FramwickFreeform, CornerAction::FramwickScroll, CornerAction::FramwickOcr,
    CornerAction::FramwickBar,
};

}  // namespace

TEST_F(CaptureStandin, EachCaptureActionStartsTheToolWithItsModeInItsFolder) {
    PointAt(standin);
    size_t expected = 0;
    for (CornerAction action : kCaptureActions) {
        const std::wstring mode = CaptureModeArgument(action);
        ASSERT_TRUE(LaunchCaptureTool(action)) << Utf8(mode);
        EXPECT_FALSE(g_tracker.launchInProgress);
        std::vector<Record> records = WaitForRecords(log, ++expected);
        ASSERT_EQ(records.size(), expected) << "no start recorded for " << Utf8(mode);
        Record& r = records.back();
        EXPECT_EQ(r[L"argc"], L"2") << Utf8(r[L"cmdline"]);
        EXPECT_EQ(r[L"arg1"], mode) << Utf8(r[L"cmdline"]);
        EXPECT_EQ(Folded(r[L"cwd"]), Folded(toolFolder)) << Utf8(r[L"cwd"]);
        std::printf("[ started  ] %s  (cwd %s)\n", Utf8(r[L"cmdline"]).c_str(), Utf8(r[L"cwd"]).c_str());
    }
    EXPECT_EQ(g_shellCalls, 7);
}

TEST_F(CaptureStandin, StandInBesideTheTestsAndPathWithForwardSlashes) {
    std::wstring slashed = standin;
    for (wchar_t& c : slashed)
        if (c == L'\\') c = L'/';
    struct Case {
        std::wstring path;
        std::wstring folder;
    };
    const Case cases[] = {
        {builtStandin, GetExecutableDirectory()},
        {slashed, toolFolder},
    };
    size_t expected = 0;
    for (const Case& c : cases) {
        PointAt(c.path);
        ASSERT_TRUE(LaunchCaptureTool(CornerAction::FramwickScroll)) << Utf8(c.path);
        std::vector<Record> records = WaitForRecords(log, ++expected);
        ASSERT_EQ(records.size(), expected) << Utf8(c.path);
        EXPECT_EQ(records.back()[L"arg1"], L"--scroll");
        EXPECT_EQ(Folded(records.back()[L"cwd"]), Folded(c.folder)) << Utf8(c.path);
    }
}

TEST_F(CaptureStandin, BareFileNameStartsInTheCurrentDirectory) {
    ASSERT_TRUE(SetCurrentDirectoryW(toolFolder.c_str()));
    PointAt(L"capture standin.exe");
    ASSERT_TRUE(LaunchCaptureTool(CornerAction::FramwickFreeform));
    std::vector<Record> records = WaitForRecords(log, 1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0][L"arg1"], L"--freeform");
    EXPECT_EQ(Folded(records[0][L"cwd"]), Folded(toolFolder));
}

TEST_F(CaptureStandin, MissingOrBrokenLocationStartsNothingAndShowsNothing) {
    const std::string standinUtf8 = Utf8(standin);
    struct Case {
        const char* name;
        std::string bytes;  // empty: no file
    };
    const Case cases[] = {
        {"no location file", ""},
        {"3 bytes", std::string("\xFF\xFE" "C", 3)},
        {"UTF-8 text", standinUtf8.size() % 2 ? standinUtf8 : standinUtf8 + " "},
        {"UTF-8 text of even length", standinUtf8.size() % 2 ? standinUtf8 + " " : standinUtf8},
        {"path no longer there", Utf16Bytes(toolFolder + L"\\moved.exe", true)},
        {"odd length after the mark", Utf16Bytes(standin, true) + "x"},
        {"lone quote", Utf16Bytes(L"\"", true)},
        {"empty quotes", Utf16Bytes(L"\"\"\r\n", true)},
    };
    int windowsBefore = VisibleWindowsOfThisProcess();
    for (const Case& c : cases) {
        DeleteFileW(location.c_str());
        if (!c.bytes.empty()) {
            ASSERT_TRUE(WriteBytes(location, c.bytes));
        }
        EXPECT_FALSE(LaunchCaptureTool(CornerAction::FramwickRegion)) << c.name;
        EXPECT_FALSE(IsCaptureToolAvailable()) << c.name;
    }
    EXPECT_EQ(g_shellCalls, 0);
    EXPECT_FALSE(FileExists(log));
    EXPECT_EQ(VisibleWindowsOfThisProcess(), windowsBefore);
}

TEST_F(CaptureStandin, StartThatTheShellRefusesShowsNoDialog) {
    // An existing file the shell has no program for: the start fails, quietly.
    std::wstring odd = toolFolder + L"\\capture.hl-no-such-type";
    ASSERT_TRUE(WriteBytes(odd, std::string("data")));
    PointAt(odd);
    int windowsBefore = VisibleWindowsOfThisProcess();
    EXPECT_FALSE(LaunchCaptureTool(CornerAction::FramwickWindow));
    EXPECT_EQ(g_shellCalls, 1);
    EXPECT_TRUE(g_tracker.fired);
    EXPECT_FALSE(g_tracker.launchInProgress);
    EXPECT_NE(g_tracker.lastActionTick, 0u);
    EXPECT_EQ(VisibleWindowsOfThisProcess(), windowsBefore);
}
