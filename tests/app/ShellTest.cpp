// A second start, run on its own thread of this process: it only asks the running instance for its menu,
// and gets its answer before that menu's modal loop begins.
#include <gtest/gtest.h>

#include <vector>

#include "app/MainWindow.h"
#include "app/Shell.h"
#include "platform/Handles.h"
#include "support/TestSupport.h"

namespace {

constexpr DWORD kMenuWaitMs = 2000;  // well under the 3 s a second start waits for its answer

std::vector<HWND> g_menusAfterAnswer;  // owners of menus that opened once the second start had ended
int g_shellCalls = 0;                  // icon changes and folder look-ups: a second start makes none
HANDLE g_secondStart = nullptr;

TEST(ShellTest, SecondStartIsAnsweredBeforeTheRunningMenuOpens) {
    UniqueHandle mutex(CreateMutexW(nullptr, TRUE, L"Hoverlatch_SingleInstance"));
    ASSERT_NE(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS)) << "another instance is running";
    ASSERT_TRUE(RegisterMainWindowClass(GetModuleHandleW(nullptr)));
    PlatformGuard platform;
    GlobalsGuard globals;
    const MainWindowRoutes savedRoutes = g_routes;
    // Stands where the menu's modal loop would run: the second start must be able to end meanwhile.
    g_routes.showTrayMenu = [](HWND owner) {
        if (WaitForSingleObject(g_secondStart, kMenuWaitMs) == WAIT_OBJECT_0) g_menusAfterAnswer.push_back(owner);
    };
    g_platform.shellNotifyIconW = [](DWORD, PNOTIFYICONDATAW) { return ++g_shellCalls, TRUE; };
    g_platform.shGetFolderPathW = [](HWND, int, HANDLE, DWORD, LPWSTR) { return ++g_shellCalls, E_FAIL; };

    MSG message;
    for (bool windowUp : {true, false}) {  // the running instance may hold the mutex before its window exists
        g_menusAfterAnswer.clear();
        HWND running = windowUp ? CreateMainWindow(GetModuleHandleW(nullptr)) : nullptr;
        // If it wrongly ran as the first instance, its message loop ends at once instead of hanging the test.
        UniqueHandle second(g_secondStart = CreateThread(nullptr, 0, [](void*) -> DWORD {
            PostQuitMessage(0);
            return static_cast<DWORD>(RunHoverlatch(GetModuleHandleW(nullptr)));
        }, nullptr, 0, nullptr));
        // Take the cross-thread request the way the message loop would, until the second start ends.
        while (MsgWaitForMultipleObjects(1, &g_secondStart, FALSE, 10000, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
            PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
        }
        EXPECT_EQ(WaitForSingleObject(second.get(), 0), WAIT_OBJECT_0) << "the second start still runs";
        EXPECT_EQ(g_menusAfterAnswer, windowUp ? std::vector<HWND>{running} : std::vector<HWND>{});
        if (running) DestroyWindow(running);
        PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);  // left by the window's end
    }
    EXPECT_EQ(g_shellCalls, 0) << "a second start adds no icon and never touches the configuration";
    g_routes = savedRoutes;
}

}  // namespace
