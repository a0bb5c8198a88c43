// The capture tool: its location file (written by another program, so nothing in it is trusted), the
// guard around a start that may run timer ticks before it returns, and real starts of the stand-in.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>

#include "FakeDesktop.h"
#include "corners/CaptureLaunch.h"
#include "corners/Dispatch.h"
#include "storage/Paths.h"

namespace {

using fake::g_desktop;
using fake::TickAt;

std::wstring g_appData;
int g_starts = 0;
BOOL g_startResult = TRUE;
bool g_realStart = false;
std::wstring g_startDirectory;      // "(none)" when the start names no folder
void (*g_duringStart)() = nullptr;  // runs inside the faked start, as a nested message loop would

BOOL WINAPI Start(SHELLEXECUTEINFOW* info) {
    ++g_starts;
    g_startDirectory = info->lpDirectory ? info->lpDirectory : L"(none)";
    if (g_realStart) return ShellExecuteExW(info);
    if (const auto during = std::exchange(g_duringStart, nullptr)) during();  // once: no deeper nesting
    return g_startResult;
}

std::string Mark(const std::wstring& text) { return Utf16Bytes(text, true); }

// APPDATA is a scratch folder; the tool is a copy of the capture stand-in in a folder of its own.
class Capture : public fake::Test {
protected:
    void SetUp() override {
        fake::Test::SetUp();
        g_appData = scratch.path().substr(0, scratch.path().size() - 1);
        g_starts = 0, g_startResult = TRUE, g_realStart = false;
        g_platform.shGetFolderPathW = [](HWND, int, HANDLE, DWORD, LPWSTR buffer) -> HRESULT {
            return lstrcpynW(buffer, g_appData.c_str(), MAX_PATH) ? S_OK : E_FAIL;
        };
        g_platform.shellExecuteExW = &Start;
        CreateDirectoryChain(toolFolder + L"\\");
        ASSERT_TRUE(CopyFileW((GetExecutableDirectory() + L"capture_standin.exe").c_str(), tool.c_str(), FALSE));
        CreateDirectoryChain(scratch / L"quenby\\Framwick\\");
        PointAt(tool);
    }
    void PointAt(const std::wstring& path) { ASSERT_TRUE(WriteBytes(location, Mark(path + L"\r\n"))); }

    ScratchFolder scratch;
    const std::wstring toolFolder = scratch / L"Framwick Tool", tool = toolFolder + L"\\capture standin.exe";
    const std::wstring location = scratch / L"quenby\\Framwick\\capture-exe.txt";
};

TEST_F(Capture, LocationFile) {
    const std::wstring q = L"\"";
    const std::string spaced = Mark(tool + std::wstring(2046 - tool.size(), L' '));  // 4094 bytes, the read limit
    const std::string utf8 = Utf8(tool) + (Utf8(tool).size() % 2 ? " " : "");
    const struct { const char* name; std::string bytes; std::wstring expected; /* empty: rejected */ } cases[] = {
        {"UTF-16 with mark", Mark(tool + L"\r\n"), tool},
        {"UTF-16 without mark", Utf16Bytes(tool, false), tool},
        {"quoted", Mark(q + tool + q + L"\r\n"), tool},
        {"trailing CR LF, spaces and NULs", Mark(tool + L"\r\n  " + std::wstring(3, L'\0') + L"\n \r"), tool},
        {"a folder", Mark(toolFolder), toolFolder},
        {"4094 bytes", spaced, tool},
        {"4096 bytes: the last unit lies beyond the limit", spaced + std::string("Z\0", 2), tool},
        {"4096 bytes of path without end", Mark(tool + std::wstring(2047 - tool.size(), L'A')), L""},
        {"a tab after the path is kept", Mark(tool + L"\t\r\n"), L""},
        {"odd length after the mark", Mark(tool) + "\n", L""},
        {"3 bytes", std::string("\xFF\xFE" "C", 3), L""},
        {"UTF-8 text", utf8, L""},
        {"missing path", Mark(tool + L".missing"), L""},
        {"lone quote", Mark(q), L""},
        {"empty quotes", Mark(q + q + L"\r\n"), L""},
        {"a NUL inside the path", Mark(tool + std::wstring(1, L'\0') + L"x.exe"), L""},
    };
    std::wstring path = L"unchanged";
    ASSERT_TRUE(DeleteFileW(location.c_str()));
    EXPECT_FALSE(ReadCaptureToolPath(path) || LaunchCaptureTool(CornerAction::FramwickBar) || g_starts) << "no file";
    for (const auto& c : cases) {
        ASSERT_TRUE(WriteBytes(location, c.bytes));
        path = L"unchanged";
        EXPECT_EQ(ReadCaptureToolPath(path), !c.expected.empty()) << c.name;
        EXPECT_EQ(path, c.expected.empty() ? L"unchanged" : c.expected) << c.name;
        const int starts = g_starts;  // a rejected file starts nothing
        EXPECT_EQ(LaunchCaptureTool(CornerAction::FramwickBar), !c.expected.empty()) << c.name;
        EXPECT_EQ(g_starts - starts, c.expected.empty() ? 0 : 1) << c.name;
    }
}

// Every other file is the real path with a few units inserted, replaced or cut; the rest is noise, now and
// then beyond the read limit.
TEST_F(Capture, RandomLocationFilesNeverCrashAndOnlyExistingPathsPass) {
    constexpr int kTries = 12000;
    std::mt19937 random(20240611);
    const auto below = [&](size_t n) { return static_cast<size_t>(random() % n); };
    const wchar_t kTricky[] = {L'"', L'\r', L'\n', L' ', L'\0', L'\t', L'\\', L':', 0xFEFF, 0xD800};
    int accepted = 0;
    for (int i = 0; i < kTries; ++i) {
        std::wstring text = below(2) ? L"\"" + tool + L"\"" : tool;
        for (size_t k = below(4); k > 0; --k) {
            const size_t at = below(text.size() + 1);
            if (below(4)) text.replace(at, below(2), 1, kTricky[below(std::size(kTricky))]);
            else text.resize(at);
        }
        std::string bytes = i % 2 ? "" : Utf16Bytes(text, below(2) == 0);
        for (size_t k = i % 2 ? below(below(8) ? 64 : 5000) : below(5) / 4; k > 0; --k) bytes += char(random());
        ASSERT_TRUE(WriteBytes(location, bytes));
        std::wstring path = L"unchanged";
        const bool ok = ReadCaptureToolPath(path);
        accepted += ok;
        ASSERT_TRUE(ok ? path.find(L'\0') == std::wstring::npos && FileExists(path) : path == L"unchanged") << i;
    }
    std::printf("[ property ] %d random location files: %d accepted, all existing paths\n", kTries, accepted);
    EXPECT_GT(accepted, 0);
}

TEST_F(Capture, TicksDuringTheStartDoNotDispatch) {
    g_desktop.monitors[0].rect = {0, 0, 30, 30};  // small: from one top zone to the other is no jump
    g_settings.topLeft = CornerAction::FramwickRegion;
    g_duringStart = [] {
        TickAt(28, 1, g_desktop.now + 16);   // the top-right zone: a new Task View dwell
        TickAt(28, 1, g_desktop.now + 600);  // dwell and spacing both passed; only the start refuses
    };
    for (DWORD t : {1000u, 1350u}) TickAt(2, 2, t);
    EXPECT_EQ(g_starts, 1);
    EXPECT_EQ(g_desktop.inputs, 0);
    EXPECT_FALSE(g_tracker.launchInProgress);
}

TEST_F(Capture, FailedStartHoldsOffEveryCorner450MsAndItsCornerUntilReentered) {
    g_settings.topLeft = CornerAction::FramwickRegion;
    g_settings.bottomLeft = CornerAction::TaskView;
    g_startResult = FALSE;
    for (DWORD t : {1000u, 1350u}) TickAt(2, 2, t);
    g_desktop.now = 1350 + 449;
    EXPECT_FALSE(DispatchCornerAction(Corner::BottomLeft, {0, 1079}));
    g_desktop.now = 1350 + 450;
    EXPECT_TRUE(DispatchCornerAction(Corner::BottomLeft, {0, 1079}));
    for (DWORD t = 1816; t <= 4000; t += 16) TickAt(5, 3, t);  // moving and resting in its corner
    EXPECT_EQ(g_starts, 1);
    TickAt(100, 100, 4016);  // leaving and coming back starts a new dwell, which tries again
    for (DWORD t : {4032u, 4382u}) TickAt(2, 2, t);
    EXPECT_EQ(g_starts, 2);
}

// The tool's folder; a drive root keeps its backslash ("C:" alone would mean C's current folder); a bare
// name gets no folder at all and starts in the current one, as a shell would start it.
TEST_F(Capture, WorkingDirectoryOfTheStart) {
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(toolFolder.c_str());
    const std::pair<std::wstring, std::wstring> cases[] = {
        {tool, toolFolder}, {L"C:\\windows", L"C:\\"}, {L"capture standin.exe", L"(none)"}};
    for (const auto& [path, directory] : cases) {
        PointAt(path);
        ASSERT_TRUE(LaunchCaptureTool(CornerAction::FramwickBar)) << Utf8(path);
        EXPECT_EQ(g_startDirectory, directory) << Utf8(path);
    }
    SetCurrentDirectoryW(previous);
}

// The stand-in appends one line per start: "cmdline=...<tab>cwd=...<tab>argc=n<tab>arg1=...".
TEST_F(Capture, RealStartOfEachModeInTheToolsFolder) {
    constexpr DWORD kDeadlineMs = 30000;  // a cold Wine process start can take seconds
    g_realStart = true;
    const std::wstring log = scratch / L"capture.log";
    SetEnvironmentVariableW(L"HOVERLATCH_CAPTURE_LOG", log.c_str());
    using enum CornerAction;
    const std::pair<CornerAction, const wchar_t*> cases[] = {
        {FramwickRegion, L"--region"}, {FramwickWindow, L"--window"}, {FramwickFullscreen, L"--fullscreen"},
        {FramwickFreeform, L"--freeform"}, {FramwickScroll, L"--scroll"}, {FramwickOcr, L"--ocr"},
        {FramwickBar, L"--bar"}};
    std::string text;
    for (int i = 0; i < 7; ++i) {  // each start awaited, to keep the lines in order
        ASSERT_TRUE(LaunchCaptureTool(cases[i].first)) << Utf8(cases[i].second);
        for (const DWORD start = GetTickCount(); std::count(text.begin(), text.end(), '\n') <= i; Sleep(20)) {
            ASSERT_LT(GetTickCount() - start, kDeadlineMs) << "no start seen for " << Utf8(cases[i].second);
            text = ReadBytes(log);
        }
        const std::wstring tail = L"\tcwd=" + toolFolder + L"\targc=2\targ1=" + cases[i].second + L"\n";
        EXPECT_TRUE(text.ends_with(Utf8(tail))) << text;
    }
    SetEnvironmentVariableW(L"HOVERLATCH_CAPTURE_LOG", nullptr);
}

}  // namespace
