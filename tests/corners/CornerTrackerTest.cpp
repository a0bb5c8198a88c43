// The corner detector tick by tick, what a fired corner sends, and the capture tool's start. A scripted desktop
// answers through g_platform: two 1920x1080 monitors side by side (96 DPI, then 144 DPI), a clock the test sets,
// a log of the keys sent and messages posted, and a scratch %APPDATA% whose location file names a "tool".
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "corners/CaptureLaunch.h"
#include "corners/Dispatch.h"
#include "platform/Messages.h"
#include "storage/Paths.h"
#include "support/TestSupport.h"

namespace {

struct Desktop {
    POINT cursor = {640, 400};
    BOOL cursorResult = TRUE;  // FALSE: no position, as while another desktop has the input
    int buttons = 0;           // bits of VK_LBUTTON (1), VK_RBUTTON (2) and VK_MBUTTON (4) held down
    RECT monitors[2] = {{0, 0, 1920, 1080}, {1920, 0, 3840, 1080}};
    DWORD now = 100000;
    UINT inputAnswers[4] = {1, 1, 1, 1};  // SendInput's answers, in turn
    int inputs = 0, starts = 0;
    std::string log;       // "Win+ Tab+ Tab- Win- "; a posted message as "message wParam lParam " in hex
    std::wstring started;  // the last start: "file in folder", "-" for no folder
    BOOL startResult = TRUE;
    void (*duringStart)() = nullptr;  // runs inside the next start, as a nested message loop would
};
Desktop g_desktop;
std::wstring g_appData;

int Index(HMONITOR monitor) { return static_cast<int>(reinterpret_cast<INT_PTR>(monitor)) - 1; }

// A fresh desktop and fresh corner state: TopLeft and TopRight TaskView, zone 12, dwell 350.
void Fresh() { g_desktop = Desktop{}, g_tracker = CornerTracker{}, g_settings = Settings{CornerAction::TaskView}; }

struct Corners : testing::Test {
    PlatformGuard platform;
    GlobalsGuard globals;
    ScratchFolder scratch;
    const std::wstring tool = scratch / L"capture tool.exe";
    const std::wstring location = scratch / L"quenby\\Framwick\\capture-exe.txt";
    void SetUp() override {
        Fresh();
        g_messages = {0xC100, 0xC101, 0xC102, 0xC103};  // TaskbarCreated, then the three companions' toggles
        Platform& p = g_platform;
        p.getCursorPos = [](POINT* at) { return g_desktop.cursorResult ? (*at = g_desktop.cursor, TRUE) : FALSE; };
        p.getAsyncKeyState = [](int key) { return static_cast<SHORT>((g_desktop.buttons & key) ? 0x8001 : 0); };
        p.monitorFromPoint = [](POINT at, DWORD) { return reinterpret_cast<HMONITOR>(INT_PTR{1 + (at.x >= 1920)}); };
        p.getMonitorInfoW = [](HMONITOR m, LPMONITORINFO i) { return i->rcMonitor = g_desktop.monitors[Index(m)], TRUE; };
        p.getDpiForMonitor = [](HMONITOR m, MONITOR_DPI_TYPE, UINT* x, UINT* y) {
            return *x = *y = 96 + 48 * Index(m), S_OK;
        };
        p.getTickCount = []() { return g_desktop.now; };
        p.sendInput = [](UINT count, INPUT* in, int size) {  // anything but a bare key press or release shows as "?"
            const bool bare = count == 1 && size == sizeof(INPUT) && in->type == INPUT_KEYBOARD && !in->ki.wScan &&
                              !in->ki.time && !in->ki.dwExtraInfo && (in->ki.dwFlags & ~KEYEVENTF_KEYUP) == 0;
            const WORD key = bare ? in->ki.wVk : 0;
            g_desktop.log += (key == VK_LWIN ? "Win" : key == VK_TAB ? "Tab" : "?") + std::string(in->ki.dwFlags ? "- " : "+ ");
            return g_desktop.inputAnswers[g_desktop.inputs++ % 4];
        };
        p.findWindowW = [](LPCWSTR name, LPCWSTR title) {
            return !title && !lstrcmpW(name, L"Notchling.Main") ? reinterpret_cast<HWND>(INT_PTR{1}) : nullptr;
        };
        p.postMessageW = [](HWND, UINT message, WPARAM wParam, LPARAM lParam) {
            char text[64];
            std::snprintf(text, sizeof(text), "%x %llx %llx ", message, wParam, lParam);
            return g_desktop.log += text, TRUE;
        };
        g_appData = scratch.path();
        p.shGetFolderPathW = [](HWND, int, HANDLE, DWORD, LPWSTR out) { return wcscpy(out, g_appData.c_str()), S_OK; };
        p.shellExecuteExW = [](SHELLEXECUTEINFOW* info) {
            if (const auto during = std::exchange(g_desktop.duringStart, nullptr)) during();
            g_desktop.started = info->lpFile + (L" in " + std::wstring(info->lpDirectory ? info->lpDirectory : L"-"));
            return ++g_desktop.starts, g_desktop.startResult;
        };
        CreateDirectoryChain(scratch / L"quenby\\Framwick\\");
        ASSERT_TRUE(WriteBytes(tool, "MZ") && WriteBytes(location, Utf16Bytes(tool + L"\r\n", true)));
    }
};

void TickAt(int x, int y, DWORD now) {
    g_desktop.cursor = {x, y}, g_desktop.now = now;
    PollCorners();
}

// Zone 12: distances run from the left/top edge pixel (0) and from the exclusive right/bottom edge (1 for
// the last pixel), each up to 12 and together up to 18. Where zones overlap, TL beats TR beats BL beats BR.
TEST(CornerZone, PlacesOfThePointer) {
    const CornerAction on = CornerAction::TaskView, off = CornerAction::Disabled;
    const Settings all = {on, on, on, on}, tlOff = {off, on, on, on}, bottom = {off, off, on, on}, br = {off, off, off, on};
    const RECT full = {0, 0, 1920, 1080}, left = {-1920, -200, 0, 880}, tiny = {0, 0, 10, 10};
    constexpr const char* kCorners[] = {"BR", "BL", "TR", "TL"};  // by Corner value
    const struct { RECT monitor; POINT p; Settings watched; const char* place; } cases[] = {
        {full, {12, 6}, all, "TL"}, {full, {12, 7}, all, "-"}, {full, {13, 0}, all, "-"}, {full, {0, 0}, tlOff, "-"},
        {full, {1919, 1079}, all, "BR"}, {full, {1908, 1074}, all, "BR"}, {full, {1908, 1073}, all, "-"},
        {full, {0, 1079}, all, "BL"}, {left, {-1920, -200}, all, "TL"}, {left, {-1, 879}, all, "BR"},
        {tiny, {5, 5}, all, "TL"}, {tiny, {5, 5}, tlOff, "TR"}, {tiny, {5, 5}, bottom, "BL"}, {tiny, {5, 5}, br, "BR"},
    };
    for (const auto& c : cases) {
        const ZoneHit hit = LocatePointer(c.p, c.monitor, 12, c.watched);
        EXPECT_STREQ(hit.place == ZonePlace::CornerZone ? kCorners[static_cast<int>(hit.corner)] : "-", c.place)
            << c.p.x << ", " << c.p.y;
    }
    EXPECT_EQ(ScaleZoneToDpi(12, 0), 12);  // a monitor that reports no DPI
}

// Inputs of a tick besides the buttons: the tracking is reset first (settings, display or session change);
// the pointer cannot be read (a UAC prompt or Ctrl+Alt+Del has the input); SendInput refuses every key.
constexpr int kReset = 0x100, kFail = 0x200, kRefuse = 0x400;
struct Tick { int x, y; DWORD dt; int input = 0; };  // dt: milliseconds after the previous tick

// Task View chords completed.
TEST_F(Corners, Visits) {
    const std::vector<Tick> fired = {{50, 50, 0}, {0, 0, 16}, {0, 0, 400}};  // resting 350 ms fires
    const auto then = [&](std::vector<Tick> more) { return more.insert(more.begin(), fired.begin(), fired.end()), more; };
    const struct { const char* name; std::vector<Tick> ticks; int chords, dwellMs = 350, zonePx = 12;
                   DWORD start = 1000; } cases[] = {
        {"dwell 300 ms, rest 300 ms", {{50, 50, 0}, {0, 0, 16}, {0, 0, 300}}, 1, 300},
        {"top right, dwell 300 ms, rest 450 ms", {{1870, 50, 0}, {1919, 0, 16}, {1919, 0, 450}}, 1, 300},
        {"dwell 300 ms, rest 299 ms", {{50, 50, 0}, {0, 0, 16}, {0, 0, 299}}, 0, 300},
        {"top right, dwell 300 ms, rest 449 ms", {{1870, 50, 0}, {1919, 0, 16}, {1919, 0, 449}}, 0, 300},
        {"across the wrap of the tick counter", fired, 1, 350, 12, 0xFFFFFF00u},
        {"moved 239 px into the corner", {{239, 0, 0}, {0, 0, 16}, {0, 0, 5000}}, 1},
        {"jumped 240 px into the corner", {{240, 0, 0}, {0, 0, 16}, {0, 0, 5000}}, 0},
        {"jumped 120 + 120 px into the corner", {{120, 120, 0}, {0, 0, 16}, {0, 0, 5000}}, 0},
        {"144 DPI, zone 28: moved 335 px", {{2255, 0, 0}, {1920, 0, 16}, {1920, 0, 5000}}, 1, 350, 28},
        {"144 DPI, zone 28: jumped 336 px", {{2256, 0, 0}, {1920, 0, 16}, {1920, 0, 5000}}, 0, 350, 28},
        {"moving inside a fired corner", then({{3, 3, 16}, {5, 2, 2000}}), 1},
        {"jumped in, right click", {{900, 500, 0}, {0, 0, 16}, {0, 0, 16, VK_RBUTTON}, {0, 0, 16}, {0, 0, 400}}, 1},
        {"dragged in with the middle button", {{900, 500, 0}, {0, 0, 16, VK_MBUTTON}, {0, 0, 16}, {0, 0, 400}}, 1},
        {"reset while dwelling", {{50, 50, 0}, {0, 0, 16}, {0, 0, 100, kReset}, {3, 3, 16}, {3, 3, 5000}}, 0},
        {"reset, out and back", {{50, 50, 0}, {0, 0, 16}, {0, 0, 100, kReset}, {40, 0, 16}, {2, 2, 16}, {2, 2, 400}}, 1},
        {"fired, unreadable, resumed 1 px on", then({{0, 0, 16, kFail}, {0, 0, 1000, kFail}, {1, 0, 16}, {1, 0, 5000}}), 1},
        {"fired, unreadable, left and back", then({{0, 0, 16, kFail}, {40, 0, 16}, {2, 2, 16}, {2, 2, 500}}), 2},
        {"unreadable in the edge band is not (0, 0)", {{40, 0, 0}, {40, 0, 16, kFail}, {40, 0, 5000, kFail}}, 0},
        {"refused chord, tried on the next tick", {{50, 50, 0}, {0, 0, 16}, {0, 0, 350, kRefuse}, {0, 0, 16}}, 1},
        {"crossed to 144 DPI, 15 px from its corner", {{1850, 60, 0}, {1919, 0, 16}, {1919, 0, 500}, {1935, 0, 16},
                                                       {1935, 0, 500}}, 2},
        {"crossed to 96 DPI, 15 px from its corner", {{1990, 60, 0}, {1920, 0, 16}, {1920, 0, 350}, {1905, 0, 16},
                                                      {1905, 0, 5000}}, 1},
        {"2nd corner at 449 ms", {{1850, 60, 0}, {1919, 0, 16}, {1919, 0, 500}, {1920, 0, 16}, {1920, 0, 433}}, 1},
        {"2nd corner at 450 ms", {{1850, 60, 0}, {1919, 0, 16}, {1919, 0, 500}, {1920, 0, 16}, {1920, 0, 434}}, 2},
    };
    for (const auto& c : cases) {
        Fresh();
        g_settings.cornerDwellMs = c.dwellMs, g_settings.edgeZonePx = c.zonePx;
        DWORD now = c.start;
        for (const Tick& t : c.ticks) {
            if (t.input & kReset) ResetCornerTracking();
            g_desktop.buttons = t.input & 7, g_desktop.cursorResult = !(t.input & kFail);
            for (UINT& answer : g_desktop.inputAnswers) answer = !(t.input & kRefuse);
            TickAt(t.x, t.y, now += t.dt);
        }
        int chords = 0;
        for (size_t at = 0; (at = g_desktop.log.find("Tab- ", at)) != std::string::npos; ++at) ++chords;
        EXPECT_EQ(chords, c.chords) << c.name;
    }
}

// A refused Tab still releases the Windows key (or it would stay stuck). Notchling gets x and y cut to 16 bits
// each: (-1920, 0) is the top-left pixel of a monitor left of the primary one.
TEST_F(Corners, WhatAFiredCornerSends) {
    using enum CornerAction;
    const struct { CornerAction action; POINT point; int refused; bool result; const char* log; } cases[] = {
        {TaskView, {}, 0, false, "Win+ "}, {TaskView, {}, 1, false, "Win+ Tab+ Win- "},
        {Notchling, {-1920, 0}, 0, true, "c103 1 f880 "}, {Notchling, {0, -1}, 0, true, "c103 1 ffff0000 "},
    };
    for (const auto& c : cases) {
        Fresh();
        g_desktop.inputAnswers[c.refused] = 0, g_settings.topLeft = c.action;
        EXPECT_EQ(DispatchCornerAction(Corner::TopLeft, c.point), c.result) << c.log;
        EXPECT_EQ(g_desktop.log, c.log);
    }
}

// The common form (marked, quoted, a line break after it) is proven end to end; random files further below.
// The tool starts in its folder; a drive root keeps its backslash ("C:" alone is drive C's current folder),
// and a bare name (here ".", which exists wherever the test runs) has no folder to pass.
TEST_F(Corners, LocationFile) {
    const auto mark = [](const std::wstring& text) { return Utf16Bytes(text, true); };
    const std::wstring inFolder = tool + L" in " + scratch.path().substr(0, scratch.path().size() - 1);
    const struct { const char* name; std::string bytes; std::wstring started; } cases[] = {
        {"UTF-16 without mark", Utf16Bytes(tool, false), inFolder}, {"no file", "", L""},
        {"trailing spaces and NULs", mark(tool + L"  " + std::wstring(3, L'\0') + L"\n \r"), inFolder},
        {"a tab after the path is kept", mark(tool + L"\t\r\n"), L""}, {"odd length", mark(tool) + "\n", L""},
        {"in a drive root", mark(L"C:\\windows"), L"C:\\windows in C:\\"}, {"a bare name", mark(L"."), L". in -"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(c.bytes.empty() ? DeleteFileW(location.c_str()) : WriteBytes(location, c.bytes));
        g_desktop.started.clear();
        EXPECT_EQ(LaunchCaptureTool(CornerAction::FramwickBar), !c.started.empty()) << c.name;
        EXPECT_EQ(g_desktop.started, c.started) << c.name;
    }
}

// Every other file is the real path with a few units inserted, replaced or cut; the rest is noise, now and
// then beyond the read limit.
TEST_F(Corners, RandomLocationFilesNeverCrashAndOnlyExistingPathsPass) {
    const int tries = StressRounds(1000, 12000);
    std::mt19937 random(20240611);
    const auto below = [&](size_t n) { return static_cast<size_t>(random() % n); };
    const wchar_t kOdd[] = {L'"', L'\r', L'\n', L' ', L'\0', L'\t', L'\\', L':', 0xFEFF, 0xD800};
    int accepted = 0;
    for (int i = 0; i < tries; ++i) {
        std::wstring text = below(2) ? L"\"" + tool + L"\"" : tool;
        for (size_t k = below(4); k > 0; --k)  // now and then the rest cut off
            text.replace(below(text.size() + 1), below(4) ? below(2) : text.npos, 1, kOdd[below(std::size(kOdd))]);
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

TEST_F(Corners, TicksDuringTheStartDoNotDispatch) {
    g_desktop.monitors[0] = {0, 0, 30, 30};  // small: from one top zone to the other is no jump
    g_settings.topLeft = CornerAction::FramwickRegion;
    g_desktop.duringStart = [] {
        TickAt(28, 1, g_desktop.now + 16);   // the top-right zone: a new Task View dwell
        TickAt(28, 1, g_desktop.now + 600);  // dwell and spacing both passed; only the start refuses
    };
    for (DWORD t : {1000u, 1350u}) TickAt(2, 2, t);
    EXPECT_EQ(std::tuple(g_desktop.starts, g_desktop.inputs, g_tracker.launchInProgress), std::tuple(1, 0, false));
}

// A failed start holds off every corner 450 ms, and its own corner until the pointer leaves and returns.
TEST_F(Corners, FailedStart) {
    g_settings.topLeft = CornerAction::FramwickRegion;
    g_settings.bottomLeft = CornerAction::TaskView;
    g_desktop.startResult = FALSE;
    for (DWORD t : {1000u, 1350u}) TickAt(2, 2, t);
    for (DWORD after : {449u, 450u}) {
        g_desktop.now = 1350 + after;
        EXPECT_EQ(DispatchCornerAction(Corner::BottomLeft, {0, 1079}), after == 450) << after;
    }
    for (DWORD t = 1816; t <= 4000; t += 16) TickAt(5, 3, t);  // moving and resting in its corner
    TickAt(100, 100, 4016);
    for (DWORD t : {4032u, 4382u}) TickAt(2, 2, t);
    EXPECT_EQ(g_desktop.starts, 2);
}

}  // namespace
