// The capture tool: its location file (written by another program, so nothing in it is trusted), the
// guard around a start that may run timer ticks before it returns, and real starts of the stand-in.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "FakeDesktop.h"
#include "corners/CaptureLaunch.h"
#include "corners/Dispatch.h"
#include "storage/Paths.h"
#include "support/TestSupport.h"

namespace {

using fake::g_desktop;
using fake::TickAt;

std::wstring g_appData;
int g_shellCalls = 0;
BOOL g_shellResult = TRUE;
void (*g_duringStart)() = nullptr;  // runs inside the faked start, as a nested message loop would

HRESULT WINAPI ScratchAppData(HWND, int, HANDLE, DWORD, LPWSTR buffer) {
    wcsncpy(buffer, g_appData.c_str(), MAX_PATH - 1);
    return S_OK;
}
BOOL WINAPI FakeStart(SHELLEXECUTEINFOW* info) {
    ++g_shellCalls;
    info->hProcess = nullptr;
    void (*during)() = g_duringStart;
    g_duringStart = nullptr;  // once: a nested start must not nest again
    if (during) during();
    return g_shellResult;
}
const wchar_t* g_startDirectory = nullptr;
std::wstring g_startDirectoryText;
BOOL WINAPI RecordingStart(SHELLEXECUTEINFOW* info) {
    g_startDirectory = info->lpDirectory;
    g_startDirectoryText = info->lpDirectory ? info->lpDirectory : L"";
    info->hProcess = nullptr;
    return TRUE;
}
BOOL WINAPI RealStart(SHELLEXECUTEINFOW* info) {
    ++g_shellCalls;
    return ShellExecuteExW(info);
}

std::string Mark(const std::wstring& text) { return Utf16Bytes(text, true); }

// APPDATA is a scratch folder; the tool is a copy of the capture stand-in in a folder of its own.
class Capture : public testing::Test {
protected:
    void SetUp() override {
        fake::Install();
        g_appData = scratch.path().substr(0, scratch.path().size() - 1);
        g_shellCalls = 0;
        g_shellResult = TRUE;
        g_platform.shGetFolderPathW = &ScratchAppData;
        g_platform.shellExecuteExW = &FakeStart;
        CreateDirectoryChain(toolFolder + L"\\");
        ASSERT_TRUE(CopyFileW((GetExecutableDirectory() + L"capture_standin.exe").c_str(), tool.c_str(), FALSE));
        CreateDirectoryChain(scratch / L"quenby\\Framwick\\");
    }
    void PointAt(const std::wstring& path) { ASSERT_TRUE(WriteBytes(location, Mark(path + L"\r\n"))); }

    ScratchFolder scratch;
    PlatformGuard platform;
    GlobalsGuard globals;
    const std::wstring toolFolder = scratch / L"Framwick Tool", tool = toolFolder + L"\\capture standin.exe";
    const std::wstring location = scratch / L"quenby\\Framwick\\capture-exe.txt";
};

TEST_F(Capture, LocationFile) {
    const std::wstring q = L"\"";
    std::string spaced = Mark(tool);  // 4094 bytes, the read limit: the path, then UTF-16 spaces
    while (spaced.size() < 4094) spaced += std::string(" \0", 2);
    std::string unending = Mark(tool);
    while (unending.size() < 4096) unending += std::string("A\0", 2);
    const std::string utf8 = Utf8(tool) + (Utf8(tool).size() % 2 ? " " : "");
    const struct { const char* name; std::string bytes; std::wstring expected; /* empty: rejected */ } cases[] = {
        {"UTF-16 with mark", Mark(tool + L"\r\n"), tool},
        {"UTF-16 without mark", Utf16Bytes(tool, false), tool},
        {"quoted", Mark(q + tool + q + L"\r\n"), tool},
        {"trailing CR LF, spaces and NULs", Mark(tool + L"\r\n  " + std::wstring(3, L'\0') + L"\n \r"), tool},
        {"a folder", Mark(toolFolder), toolFolder},
        {"4094 bytes", spaced, tool},
        {"4096 bytes: the last unit lies beyond the limit", spaced + std::string("Z\0", 2), tool},
        {"4096 bytes of path without end", unending, L""},
        {"a tab after the path is kept", Mark(tool + L"\t\r\n"), L""},
        {"3 bytes", std::string("\xFF\xFE" "C", 3), L""},
        {"odd length after the mark", Mark(tool) + "\n", L""},
        {"UTF-8 text", utf8, L""},
        {"missing path", Mark(tool + L".missing"), L""},
        {"lone quote", Mark(q), L""},
        {"empty quotes", Mark(q + q + L"\r\n"), L""},
        {"a NUL inside the path", Mark(tool + std::wstring(1, L'\0') + L"x.exe"), L""},
    };
    std::wstring path = L"unchanged";
    EXPECT_FALSE(ReadCaptureToolPath(path)) << "no file";
    for (const auto& c : cases) {
        ASSERT_TRUE(WriteBytes(location, c.bytes));
        path = L"unchanged";
        EXPECT_EQ(ReadCaptureToolPath(path), !c.expected.empty()) << c.name;
        EXPECT_EQ(path, c.expected.empty() ? L"unchanged" : c.expected) << c.name;
    }
}

TEST_F(Capture, RandomLocationFilesNeverCrashAndOnlyExistingPathsPass) {
    constexpr int kTries = 12000;
    std::mt19937 random(20240611);
    const auto below = [&](size_t n) { return static_cast<size_t>(random() % n); };
    const wchar_t kTricky[] = {L'"', L'\r', L'\n', L' ', L'\0', L'\t', L'\\', L':', 0xFEFF, 0xD800};
    int accepted = 0;
    for (int i = 0; i < kTries; ++i) {
        std::string bytes;
        if (i % 2) {  // noise, now and then beyond the read limit
            for (size_t k = below(8) ? below(64) : below(5000); k > 0; --k) bytes += static_cast<char>(random());
        } else {  // the real path with a few units inserted, replaced or cut
            std::wstring text = below(2) ? L"\"" + tool + L"\"" : tool;
            for (size_t k = below(4); k > 0; --k) {
                const size_t at = below(text.size() + 1);
                const wchar_t unit = kTricky[below(std::size(kTricky))];
                if (below(3) == 0) text.insert(at, 1, unit);
                else if (below(2) && at < text.size()) text[at] = unit;
                else text.resize(at);
            }
            bytes = Utf16Bytes(text, below(2) == 0) + (below(5) ? "" : "x");
        }
        ASSERT_TRUE(WriteBytes(location, bytes));
        std::wstring path = L"unchanged";
        if (ReadCaptureToolPath(path)) {
            ++accepted;
            ASSERT_EQ(path.find(L'\0'), std::wstring::npos) << i;
            ASSERT_TRUE(FileExists(path)) << i;
        } else {
            ASSERT_EQ(path, L"unchanged") << i;
        }
    }
    std::printf("[ property ] %d random location files: %d accepted, all existing paths\n", kTries, accepted);
    EXPECT_GT(accepted, 0);
}

TEST_F(Capture, TicksDuringTheStartDoNotDispatch) {
    g_desktop.monitors[0].rect = {0, 0, 30, 30};  // small: from one top zone to the other is no jump
    g_settings.topLeft = CornerAction::FramwickRegion;
    PointAt(tool);
    g_duringStart = [] {
        TickAt(28, 1, g_desktop.now + 16);   // the top-right zone: a new Task View dwell
        TickAt(28, 1, g_desktop.now + 600);  // dwell and spacing both passed; only the start refuses
    };
    TickAt(2, 2, 1000);
    TickAt(2, 2, 1350);
    EXPECT_EQ(g_shellCalls, 1);
    EXPECT_EQ(g_desktop.inputs, 0);
    EXPECT_FALSE(g_tracker.launchInProgress);
}

TEST_F(Capture, FailedStartHoldsOffEveryCorner450MsAndItsCornerUntilReentered) {
    g_settings.topLeft = CornerAction::FramwickRegion;
    g_settings.bottomLeft = CornerAction::TaskView;
    g_shellResult = FALSE;
    PointAt(tool);
    TickAt(2, 2, 1000);
    TickAt(2, 2, 1350);
    ASSERT_EQ(g_shellCalls, 1);
    g_desktop.now = 1350 + 449;
    EXPECT_FALSE(DispatchCornerAction(Corner::BottomLeft, {0, 1079}));
    g_desktop.now = 1350 + 450;
    EXPECT_TRUE(DispatchCornerAction(Corner::BottomLeft, {0, 1079}));
    for (DWORD t = 1816; t < 4000; t += 16) TickAt(t);
    TickAt(5, 3, 4000);
    EXPECT_EQ(g_shellCalls, 1);
    TickAt(100, 100, 4016);  // leaving and coming back starts a new dwell, which tries again
    TickAt(2, 2, 4032);
    TickAt(4032 + 350);
    EXPECT_EQ(g_shellCalls, 2);
}

// The stand-in appends one line per start: "cmdline=...<tab>cwd=...<tab>argc=n<tab>arg1=...".
std::vector<std::wstring> WaitForLines(const std::wstring& log, size_t count) {
    constexpr DWORD kDeadlineMs = 30000;  // a cold Wine process start can take seconds
    std::vector<std::wstring> lines;
    for (const DWORD start = GetTickCount(); lines.size() < count && GetTickCount() - start < kDeadlineMs; Sleep(20)) {
        const std::string bytes = ReadBytes(log);  // taken byte by byte: the scratch paths are ASCII
        std::wistringstream text(std::wstring(bytes.begin(), bytes.begin() + bytes.rfind('\n') + 1));
        lines.clear();
        for (std::wstring line; std::getline(text, line);) lines.push_back(line);
    }
    return lines;
}

// The tool's folder; a drive root keeps its backslash ("C:" alone would mean C's current folder); a bare
// name gets no folder at all and starts in the current one, as a shell would start it.
TEST_F(Capture, WorkingDirectoryOfTheStart) {
    g_platform.shellExecuteExW = &RecordingStart;
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(toolFolder.c_str());
    const struct { std::wstring path; const wchar_t* directory; } cases[] = {
        {tool, toolFolder.c_str()}, {L"C:\\windows", L"C:\\"}, {L"capture standin.exe", nullptr}};
    for (const auto& c : cases) {
        PointAt(c.path);
        g_tracker.launchInProgress = false;
        ASSERT_TRUE(LaunchCaptureTool(CornerAction::FramwickBar)) << Utf8(c.path);
        EXPECT_EQ(g_startDirectory != nullptr, c.directory != nullptr) << Utf8(c.path);
        EXPECT_EQ(g_startDirectoryText, c.directory ? c.directory : L"") << Utf8(c.path);
    }
    SetCurrentDirectoryW(previous);
}

TEST_F(Capture, RealStartOfEachModeInTheToolsFolder) {
    g_platform.shellExecuteExW = &RealStart;
    const std::wstring log = scratch / L"capture.log";
    SetEnvironmentVariableW(L"HOVERLATCH_CAPTURE_LOG", log.c_str());
    EXPECT_FALSE(LaunchCaptureTool(CornerAction::FramwickRegion)) << "no location file";
    ASSERT_TRUE(WriteBytes(location, Mark(tool) + "x"));
    EXPECT_FALSE(LaunchCaptureTool(CornerAction::FramwickRegion)) << "broken location file";
    PointAt(tool);
    const std::pair<CornerAction, const wchar_t*> cases[] = {
        {CornerAction::FramwickRegion, L"--region"},   {CornerAction::FramwickWindow, L"--window"},
        {CornerAction::FramwickFullscreen, L"--fullscreen"}, {CornerAction::FramwickFreeform, L"--freeform"},
        {CornerAction::FramwickScroll, L"--scroll"},   {CornerAction::FramwickOcr, L"--ocr"},
        {CornerAction::FramwickBar, L"--bar"}};
    for (size_t i = 0; i < std::size(cases); ++i) {
        ASSERT_TRUE(LaunchCaptureTool(cases[i].first)) << Utf8(cases[i].second);
        const std::vector<std::wstring> lines = WaitForLines(log, i + 1);
        ASSERT_EQ(lines.size(), i + 1) << "no start seen for " << Utf8(cases[i].second);
        const std::wstring tail = L"\tcwd=" + toolFolder + L"\targc=2\targ1=" + cases[i].second;
        EXPECT_TRUE(lines[i].ends_with(tail)) << Utf8(lines[i]);
        std::printf("[ started  ] %s\n", Utf8(lines[i]).c_str());
    }
    EXPECT_EQ(g_shellCalls, 7);
    SetEnvironmentVariableW(L"HOVERLATCH_CAPTURE_LOG", nullptr);
}

}  // namespace
