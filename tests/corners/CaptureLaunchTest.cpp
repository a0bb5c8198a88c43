// What LaunchCaptureTool hands to ShellExecuteExW, and what it leaves in the corner tracker.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <optional>
#include <string>
#include <vector>

#include "corners/CaptureLaunch.h"
#include "corners/CornerTracker.h"
#include "storage/Paths.h"
#include "support/TestSupport.h"

namespace {

std::wstring g_appData;

HRESULT WINAPI ScratchAppData(HWND, int, HANDLE, DWORD, LPWSTR buffer) {
    wcsncpy(buffer, g_appData.c_str(), MAX_PATH - 1);
    return S_OK;
}

// One ShellExecuteExW call as the fake saw it, with the tracker as it was during the call.
struct SeenStart {
    DWORD cbSize = 0;
    ULONG fMask = 0;
    HWND hwnd = nullptr;
    bool verbNull = false;
    std::wstring file;
    std::optional<std::wstring> parameters;
    std::optional<std::wstring> directory;
    int nShow = 0;
    bool firedDuring = false;
    bool launchInProgressDuring = false;
    DWORD lastActionTickDuring = 0;
};

std::vector<SeenStart> g_starts;
BOOL g_startResult = TRUE;
HANDLE g_processHandle = nullptr;  // handed out as the "started process"
DWORD g_now = 5000;

std::optional<std::wstring> Text(LPCWSTR text) { return text ? std::optional<std::wstring>(text) : std::nullopt; }

BOOL WINAPI FakeShellExecute(SHELLEXECUTEINFOW* info) {
    SeenStart seen;
    seen.cbSize = info->cbSize;
    seen.fMask = info->fMask;
    seen.hwnd = info->hwnd;
    seen.verbNull = info->lpVerb == nullptr;
    seen.file = info->lpFile ? info->lpFile : L"<null>";
    seen.parameters = Text(info->lpParameters);
    seen.directory = Text(info->lpDirectory);
    seen.nShow = info->nShow;
    seen.firedDuring = g_tracker.fired;
    seen.launchInProgressDuring = g_tracker.launchInProgress;
    seen.lastActionTickDuring = g_tracker.lastActionTick;
    g_starts.push_back(seen);
    info->hProcess = g_startResult ? g_processHandle : nullptr;
    return g_startResult;
}

DWORD WINAPI FakeTick() { return g_now; }

bool HandleIsOpen(HANDLE handle) {
    DWORD flags = 0;
    return GetHandleInformation(handle, &flags) != FALSE;
}

class CaptureLaunch : public ::testing::Test {
protected:
    void SetUp() override {
        std::wstring root = scratch.path();
        g_appData = root.substr(0, root.size() - 1);
        g_starts.clear();
        g_startResult = TRUE;
        g_processHandle = nullptr;
        g_now = 5000;
        g_platform.shGetFolderPathW = &ScratchAppData;
        g_platform.shellExecuteExW = &FakeShellExecute;
        g_platform.getTickCount = &FakeTick;
        g_tracker = CornerTracker{};
        toolFolder = scratch / L"Tools\\Framwick";
        tool = toolFolder + L"\\capture.exe";
        CreateDirectoryChain(toolFolder + L"\\");
        ASSERT_TRUE(WriteBytes(tool, std::string("MZ")));
        CreateDirectoryChain(scratch / L"quenby\\Framwick\\");
        location = scratch / L"quenby\\Framwick\\capture-exe.txt";
    }
    void PointAt(const std::wstring& path) { ASSERT_TRUE(WriteBytes(location, Utf16Bytes(path + L"\r\n", true))); }

    ScratchFolder scratch;
    PlatformGuard platform;
    GlobalsGuard globals;
    std::wstring toolFolder, tool, location;
};

const CornerAction kCaptureActions[] = {
    CornerAction::FramwickRegion, CornerAction::FramwickWindow, CornerAction::FramwickFullscreen,
    CornerAction::FramwickFreeform, CornerAction::FramwickScroll, CornerAction::FramwickOcr,
    CornerAction::FramwickBar,
};

}  // namespace

TEST(CaptureModeArgument, OneArgumentPerCaptureActionAndNoneForTheOthers) {
    struct Case {
        CornerAction action;
        const wchar_t* argument;
    };
    const Case cases[] = {
        {CornerAction::Disabled, nullptr},
        {CornerAction::TaskView, nullptr},
        {CornerAction::Loftmoor, nullptr},
        {CornerAction::Notchling, nullptr},
        {CornerAction::FramwickRegion, L"--region"},
        {CornerAction::FramwickWindow, L"--window"},
        {CornerAction::FramwickFullscreen, L"--fullscreen"},
        {CornerAction::FramwickFreeform, L"--freeform"},
        {CornerAction::FramwickScroll, L"--scroll"},
        {CornerAction::FramwickOcr, L"--ocr"},
        {CornerAction::FramwickBar, L"--bar"},
        {static_cast<CornerAction>(11), nullptr},
        {static_cast<CornerAction>(-1), nullptr},
    };
    for (const Case& c : cases) {
        const wchar_t* argument = CaptureModeArgument(c.action);
        if (!c.argument) {
            EXPECT_EQ(argument, nullptr) << static_cast<int>(c.action);
        } else {
            ASSERT_NE(argument, nullptr) << static_cast<int>(c.action);
            EXPECT_STREQ(argument, c.argument);
        }
    }
}

TEST_F(CaptureLaunch, StartsTheToolWithTheModeArgumentAndItsFolder) {
    PointAt(tool);
    for (CornerAction action : kCaptureActions) {
        g_starts.clear();
        EXPECT_TRUE(LaunchCaptureTool(action));
        ASSERT_EQ(g_starts.size(), 1u);
        const SeenStart& s = g_starts[0];
        EXPECT_EQ(s.cbSize, 112u);
        EXPECT_EQ(s.fMask, 0x440u);
        EXPECT_EQ(s.hwnd, nullptr);
        EXPECT_TRUE(s.verbNull);
        EXPECT_EQ(s.file, tool);
        EXPECT_EQ(s.parameters, std::optional<std::wstring>(CaptureModeArgument(action)));
        EXPECT_EQ(s.directory, std::optional<std::wstring>(toolFolder));
        EXPECT_EQ(s.nShow, SW_SHOWNORMAL);
    }
}

TEST_F(CaptureLaunch, WorkingDirectoryIsTheFolderPartOfThePath) {
    // Existing objects to point at: a file in a folder reached with forward slashes, a file at the
    // root of the prefix's C: drive, and a bare name found in the current directory.
    const std::wstring rootFile = L"C:\\hl-capture-root-test.exe";
    ASSERT_TRUE(WriteBytes(rootFile, std::string("MZ")));
    const std::wstring rootSlash = L"C:/hl-capture-root-test.exe";
    std::wstring slashed = tool;
    for (wchar_t& c : slashed)
        if (c == L'\\') c = L'/';
    std::wstring mixed = toolFolder + L"/capture.exe";
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(toolFolder.c_str()));

    struct Case {
        std::wstring path;
        std::optional<std::wstring> directory;
    };
    const Case cases[] = {
        {tool, toolFolder},
        {slashed, slashed.substr(0, slashed.size() - std::wstring(L"/capture.exe").size())},
        {mixed, toolFolder},
        // "C:" alone would be drive C's current directory, not its root.
        {rootFile, std::wstring(L"C:\\")},
        {rootSlash, std::wstring(L"C:/")},
        // No folder part: no directory, the tool starts in the current one.
        {L"capture.exe", std::nullopt},
    };
    for (const Case& c : cases) {
        PointAt(c.path);
        g_starts.clear();
        EXPECT_TRUE(LaunchCaptureTool(CornerAction::FramwickOcr)) << Utf8(c.path);
        ASSERT_EQ(g_starts.size(), 1u) << Utf8(c.path);
        EXPECT_EQ(g_starts[0].file, c.path);
        EXPECT_EQ(g_starts[0].directory, c.directory) << Utf8(c.path);
    }
    SetCurrentDirectoryW(previous);
    DeleteFileW(rootFile.c_str());
}

TEST_F(CaptureLaunch, TrackerIsMarkedBeforeTheStartAndReleasedAfterIt) {
    PointAt(tool);
    g_processHandle = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(g_processHandle, nullptr);
    g_now = 777777;
    EXPECT_TRUE(LaunchCaptureTool(CornerAction::FramwickRegion));
    ASSERT_EQ(g_starts.size(), 1u);
    EXPECT_TRUE(g_starts[0].firedDuring);
    EXPECT_TRUE(g_starts[0].launchInProgressDuring);
    EXPECT_EQ(g_starts[0].lastActionTickDuring, 777777u);
    EXPECT_TRUE(g_tracker.fired);
    EXPECT_FALSE(g_tracker.launchInProgress);
    EXPECT_EQ(g_tracker.lastActionTick, 777777u);
    // The started process is neither waited for nor watched: its handle is closed at once.
    EXPECT_FALSE(HandleIsOpen(g_processHandle));
}

TEST_F(CaptureLaunch, FailedStartStillMarksTheDwellAndTheActionTime) {
    PointAt(tool);
    g_startResult = FALSE;
    g_now = 123456;
    EXPECT_FALSE(LaunchCaptureTool(CornerAction::FramwickBar));
    EXPECT_EQ(g_starts.size(), 1u);
    EXPECT_TRUE(g_tracker.fired);
    EXPECT_FALSE(g_tracker.launchInProgress);
    EXPECT_EQ(g_tracker.lastActionTick, 123456u);
}

TEST_F(CaptureLaunch, StartAtTickZeroIsNotMistakenForNever) {
    PointAt(tool);
    g_now = 0;
    EXPECT_TRUE(LaunchCaptureTool(CornerAction::FramwickRegion));
    EXPECT_NE(g_tracker.lastActionTick, 0u);
}

TEST_F(CaptureLaunch, NothingHappensWithoutAToolOrWithoutAMode) {
    struct Case {
        const char* name;
        CornerAction action;
        std::string locationBytes;  // empty: no location file
    };
    const Case cases[] = {
        {"no location file", CornerAction::FramwickRegion, ""},
        {"location names a missing file", CornerAction::FramwickRegion, Utf16Bytes(tool + L".gone", true)},
        {"3-byte location file", CornerAction::FramwickRegion, std::string("\xFF\xFE" "C", 3)},
        {"UTF-8 location file", CornerAction::FramwickRegion, Utf8(tool) + (Utf8(tool).size() % 2 ? "" : " ")},
        {"task view", CornerAction::TaskView, Utf16Bytes(tool, true)},
        {"disabled", CornerAction::Disabled, Utf16Bytes(tool, true)},
        {"companion", CornerAction::Notchling, Utf16Bytes(tool, true)},
    };
    for (const Case& c : cases) {
        DeleteFileW(location.c_str());
        if (!c.locationBytes.empty()) {
            ASSERT_TRUE(WriteBytes(location, c.locationBytes));
        }
        g_tracker = CornerTracker{};
        g_tracker.lastActionTick = 42;
        EXPECT_FALSE(LaunchCaptureTool(c.action)) << c.name;
        EXPECT_TRUE(g_starts.empty()) << c.name;
        // The dwell stays open so the next tick tries again, and no spacing is imposed.
        EXPECT_FALSE(g_tracker.fired) << c.name;
        EXPECT_FALSE(g_tracker.launchInProgress) << c.name;
        EXPECT_EQ(g_tracker.lastActionTick, 42u) << c.name;
    }
}

TEST_F(CaptureLaunch, NoSecondStartInsideARunningOne) {
    PointAt(tool);
    g_tracker.launchInProgress = true;
    g_tracker.lastActionTick = 42;
    EXPECT_FALSE(LaunchCaptureTool(CornerAction::FramwickRegion));
    EXPECT_TRUE(g_starts.empty());
    EXPECT_TRUE(g_tracker.launchInProgress);
    EXPECT_EQ(g_tracker.lastActionTick, 42u);
}
