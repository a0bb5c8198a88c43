// The capture tool: its location file (written by another program, so nothing in it is trusted), the folder
// it starts in, and the guard around a start that may run timer ticks before it returns.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <tuple>
#include <utility>

#include "FakeDesktop.h"
#include "corners/CaptureLaunch.h"
#include "storage/Paths.h"

namespace {

using fake::g_desktop;
using fake::TickAt;

std::wstring g_appData, g_started;  // the last start: "<file>|<arguments>|<folder or (none)>"
int g_starts = 0;
BOOL g_startResult = TRUE;
void (*g_duringStart)() = nullptr;  // runs inside the next start, as a nested message loop would

// APPDATA is a scratch folder; the location file names an existing "tool" in a folder of its own.
struct Capture : fake::Test {
    void SetUp() override {
        fake::Test::SetUp();
        g_appData = scratch.path(), g_starts = 0, g_startResult = TRUE;
        g_platform.shGetFolderPathW = [](HWND, int, HANDLE, DWORD, LPWSTR out) { return wcscpy(out, g_appData.c_str()), S_OK; };
        g_platform.shellExecuteExW = [](SHELLEXECUTEINFOW* info) {
            g_started = info->lpFile + (L"|" + std::wstring(info->lpParameters)) + L"|" +
                        (info->lpDirectory ? info->lpDirectory : L"(none)");
            if (const auto during = std::exchange(g_duringStart, nullptr)) during();
            return ++g_starts, g_startResult;
        };
        CreateDirectoryChain(scratch / L"quenby\\Framwick\\");
        CreateDirectoryChain(folder + L"\\");
        ASSERT_TRUE(WriteBytes(tool, "MZ") && WriteBytes(location, Utf16Bytes(tool + L"\r\n", true)));
    }
    ScratchFolder scratch;
    const std::wstring folder = scratch / L"Framwick Tool", tool = folder + L"\\capture tool.exe";
    const std::wstring location = scratch / L"quenby\\Framwick\\capture-exe.txt";
};

TEST_F(Capture, LocationFile) {
    const auto mark = [](const std::wstring& text) { return Utf16Bytes(text, true); };
    const std::string limit = mark(tool + std::wstring(2046 - tool.size(), L' '));  // 4094 bytes, the read limit
    const struct { const char* name; std::string bytes; bool accepted; } cases[] = {
        {"UTF-16 without mark", Utf16Bytes(tool, false), true}, {"quoted", mark(L'"' + tool + L"\"\r\n"), true},
        {"trailing CR LF, spaces and NULs", mark(tool + L"\r\n  " + std::wstring(3, L'\0') + L"\n \r"), true},
        {"4096 bytes: the last unit lies beyond the limit", limit + std::string("Z\0", 2), true},
        {"4096 bytes of path without end", mark(tool + std::wstring(2047 - tool.size(), L'A')), false},
        {"a tab after the path is kept", mark(tool + L"\t\r\n"), false}, {"odd length", mark(tool) + "\n", false},
        {"missing path", mark(tool + L".missing"), false}, {"no file", "", false},
        {"a NUL inside the path", mark(tool + std::wstring(1, L'\0') + L"x.exe"), false},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(c.bytes.empty() ? DeleteFileW(location.c_str()) : WriteBytes(location, c.bytes));
        std::wstring path = L"unchanged";
        EXPECT_EQ(ReadCaptureToolPath(path), c.accepted) << c.name;
        EXPECT_EQ(path, c.accepted ? tool : L"unchanged") << c.name;
        const int starts = g_starts;  // a rejected file starts nothing
        EXPECT_EQ(LaunchCaptureTool(CornerAction::FramwickBar), c.accepted) << c.name;
        EXPECT_EQ(g_starts - starts, c.accepted ? 1 : 0) << c.name;
    }
}

// Every other file is the real path with a few units inserted, replaced or cut; the rest is noise, now and
// then beyond the read limit.
TEST_F(Capture, RandomLocationFilesNeverCrashAndOnlyExistingPathsPass) {
    const int tries = StressRounds(1000, 12000);
    std::mt19937 random(20240611);
    const auto below = [&](size_t n) { return static_cast<size_t>(random() % n); };
    const wchar_t kTricky[] = {L'"', L'\r', L'\n', L' ', L'\0', L'\t', L'\\', L':', 0xFEFF, 0xD800};
    int accepted = 0;
    for (int i = 0; i < tries; ++i) {
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
    std::printf("[ figures  ] %d random location files: %d accepted, all existing paths\n", tries, accepted);
    EXPECT_GT(accepted, 0);
}

// A drive root keeps its backslash ("C:" alone is drive C's current folder); a bare name gets no folder.
TEST_F(Capture, FolderOfTheStart) {
    SetCurrentDirectoryW(folder.c_str());  // where the bare name exists; the fixture's folder goes away after
    for (const auto& [path, started] : {std::pair<std::wstring, std::wstring>{L"C:\\windows", L"C:\\windows|--ocr|C:\\"},
                                        {L"capture tool.exe", L"capture tool.exe|--ocr|(none)"}}) {
        ASSERT_TRUE(WriteBytes(location, Utf16Bytes(path, true)) && LaunchCaptureTool(CornerAction::FramwickOcr));
        EXPECT_EQ(g_started, started);
    }
    SetCurrentDirectoryW(L"C:\\");
}

TEST_F(Capture, TicksDuringTheStartDoNotDispatch) {
    g_desktop.monitors[0] = {0, 0, 30, 30};  // small: from one top zone to the other is no jump
    g_settings.topLeft = CornerAction::FramwickRegion;
    g_duringStart = [] {
        TickAt(28, 1, g_desktop.now + 16);   // the top-right zone: a new Task View dwell
        TickAt(28, 1, g_desktop.now + 600);  // dwell and spacing both passed; only the start refuses
    };
    for (DWORD t : {1000u, 1350u}) TickAt(2, 2, t);
    EXPECT_EQ(std::tuple(g_starts, g_desktop.inputs, g_tracker.launchInProgress), std::tuple(1, 0, false));
}

// A failed start holds off every corner 450 ms, and its own corner until the pointer leaves and returns.
TEST_F(Capture, FailedStart) {
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
    TickAt(100, 100, 4016);
    for (DWORD t : {4032u, 4382u}) TickAt(2, 2, t);
    EXPECT_EQ(g_starts, 2);
}

}  // namespace
