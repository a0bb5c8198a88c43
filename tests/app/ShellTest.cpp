// Start-up as a whole, run in this process: the first start brings up the window, icon and poll timer;
// a second start only asks the running instance for its menu.
#include <gtest/gtest.h>

#include <vector>

#include "app/Handles.h"
#include "app/MainWindow.h"
#include "app/Messages.h"
#include "app/Shell.h"
#include "app/TrayIcon.h"
#include "support/TestSupport.h"

namespace {

struct Seen {
    std::vector<HWND> menus;
    std::vector<DWORD> notifies;
    UINT notifiedVersion = 0;
    int folderQueries = 0;
    int polls = 0;
};

Seen g_seen;
std::wstring g_appData;

void FakeShowMenu(HWND owner) { g_seen.menus.push_back(owner); }
void FakePoll() { ++g_seen.polls; }
void Ignore() {}
void IgnoreCommand(HWND, WORD) {}
void IgnoreSettingChange(HWND, LPARAM) {}
BOOL WINAPI RecordNotify(DWORD action, PNOTIFYICONDATAW record) {
    g_seen.notifies.push_back(action);
    if (action == NIM_SETVERSION) g_seen.notifiedVersion = record->uVersion;
    return TRUE;
}
// Every shell folder lands in the test's scratch folder, and each query is counted.
HRESULT WINAPI ScratchFolderPath(HWND, int, HANDLE, DWORD, LPWSTR path) {
    ++g_seen.folderQueries;
    lstrcpynW(path, g_appData.c_str(), MAX_PATH);
    return S_OK;
}

bool TakeQuitMessage() {
    MSG message;
    return PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
}

class ShellTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_seen = Seen{};
        g_appData = scratch.path();
        g_routes = {&FakePoll, &Ignore, &FakeShowMenu, &IgnoreCommand, &IgnoreSettingChange};
        g_platform.shellNotifyIconW = &RecordNotify;
        g_platform.shGetFolderPathW = &ScratchFolderPath;
        ASSERT_TRUE(RegisterMainWindowClass(GetModuleHandleW(nullptr)));
    }
    void TearDown() override {
        for (HWND window : windows) {
            if (IsWindow(window)) DestroyWindow(window);
        }
        TakeQuitMessage();
        g_routes = savedRoutes;
        g_trayIcon = savedTray;
        g_messages = savedMessages;
    }

    // Holds the single-instance mutex as a running instance would.
    UniqueHandle HoldMutex() {
        UniqueHandle mutex(CreateMutexW(nullptr, TRUE, L"Hoverlatch_SingleInstance"));
        EXPECT_NE(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS)) << "another instance is running";
        return mutex;
    }
    // If start-up wrongly ran as the first instance, its loop ends at once instead of hanging the test.
    int RunGuarded() {
        PostQuitMessage(0);
        int exitCode = RunHoverlatch(GetModuleHandleW(nullptr));
        TakeQuitMessage();
        return exitCode;
    }

    ScratchFolder scratch;
    PlatformGuard platform;
    GlobalsGuard globals;
    MainWindowRoutes savedRoutes = g_routes;
    TrayIcon savedTray = g_trayIcon;
    RegisteredMessages savedMessages = g_messages;
    std::vector<HWND> windows;
};

TEST_F(ShellTest, SecondStartAsksTheRunningInstanceForItsMenuAndTouchesNothingElse) {
    UniqueHandle mutex = HoldMutex();
    HWND running = CreateMainWindow(GetModuleHandleW(nullptr));
    ASSERT_NE(running, nullptr);
    windows.push_back(running);
    g_trayIcon.lastOpenTick = 0;

    EXPECT_EQ(RunGuarded(), 0);
    EXPECT_EQ(g_seen.menus, std::vector<HWND>{running});
    EXPECT_EQ(g_trayIcon.lastOpenTick, 0u) << "the request bypasses the tray debounce";
    EXPECT_TRUE(g_seen.notifies.empty()) << "a second start adds no icon";
    EXPECT_EQ(g_seen.folderQueries, 0) << "a second start never touches the configuration";
    EXPECT_EQ(FindWindowExW(nullptr, running, L"Hoverlatch.MainWindow", nullptr), nullptr);
}

TEST_F(ShellTest, SecondStartWithoutAWindowYetExitsQuietly) {
    UniqueHandle mutex = HoldMutex();
    ASSERT_EQ(FindWindowW(L"Hoverlatch.MainWindow", nullptr), nullptr);
    EXPECT_EQ(RunGuarded(), 0);
    EXPECT_TRUE(g_seen.menus.empty());
    EXPECT_TRUE(g_seen.notifies.empty());
    EXPECT_EQ(FindWindowW(L"Hoverlatch.MainWindow", nullptr), nullptr);
}

TEST_F(ShellTest, FirstStartShowsTheIconStartsThePollAndReleasesTheMutexAtTheEnd) {
    EXPECT_EQ(RunGuarded(), 0);

    HWND window = FindWindowW(L"Hoverlatch.MainWindow", L"Hoverlatch");
    ASSERT_NE(window, nullptr);
    windows.push_back(window);
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(g_seen.notifies, (std::vector<DWORD>{NIM_ADD, NIM_SETVERSION}));
    EXPECT_EQ(g_seen.notifiedVersion, static_cast<UINT>(NOTIFYICON_VERSION_4));
    EXPECT_TRUE(g_trayIcon.added);
    EXPECT_EQ(g_trayIcon.record.hWnd, window);

    EXPECT_EQ(g_messages.taskbarCreated, RegisterWindowMessageW(L"TaskbarCreated"));
    EXPECT_EQ(g_messages.loftmoorToggle, RegisterWindowMessageW(L"WM_LOFTMOOR_TOGGLE"));
    EXPECT_EQ(g_messages.tessawellToggle, RegisterWindowMessageW(L"WM_TESSAWELL_TOGGLE"));
    EXPECT_EQ(g_messages.notchlingToggle, RegisterWindowMessageW(L"WM_NOTCHLING_TOGGLE"));

    // The poll timer keeps running on the window after start-up.
    DWORD start = GetTickCount();
    MSG message;
    while (g_seen.polls < 3 && GetTickCount() - start < 5000) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    }
    EXPECT_GE(g_seen.polls, 3);

    // The loop ended and the mutex went with it: the next start is a first start again.
    UniqueHandle mutex(CreateMutexW(nullptr, TRUE, L"Hoverlatch_SingleInstance"));
    EXPECT_NE(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));

    g_seen.notifies.clear();
    DestroyWindow(window);
    EXPECT_EQ(g_seen.notifies, std::vector<DWORD>{NIM_DELETE});
}

}  // namespace
