#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <thread>
#include <vector>

#include "FakeRuntime.h"
#include "startup/StartupShortcut.h"
#include "startup/StartupTask.h"

namespace {

// The runtime is left only by a call that entered it (S_FALSE included); a failed entry does not stop the attempt.
// A state is asked to enable, disabled, or left alone: one row per state tells its group apart from the others.
TEST(StartupTask, StateChoiceAndRuntimeAnswersDecideTheCalls) {
    using S = StartupTaskState;
    struct Case { S state; bool enable; int requests, disables; HRESULT init = S_OK, factory = S_OK; int leaves = 1; };
    const Case cases[] = {
        {S::Disabled, true, 1, 0},         {S::Disabled, false, 0, 0},        {S::DisabledByUser, true, 1, 0},
        {S::Enabled, true, 0, 0},          {S::Enabled, false, 0, 1},         {S::DisabledByPolicy, true, 1, 0},
        {S::EnabledByPolicy, true, 0, 0},  {S::EnabledByPolicy, false, 0, 0}, {S::Disabled, true, 1, 0, S_FALSE},
        {S::Disabled, true, 1, 0, RPC_E_CHANGED_MODE, S_OK, 0}, {S::Disabled, true, 0, 0, S_OK, REGDB_E_CLASSNOTREG},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "state " << static_cast<int>(c.state) << " enable " << c.enable << std::hex
                                        << " init " << c.init << " factory " << c.factory);
        FakeRuntimeScope scope;
        scope.fake.state = c.state;
        scope.fake.roInitializeResult = c.init;
        scope.fake.factoryResult = c.factory;
        ApplyStartupTask(c.enable);
        EXPECT_EQ(scope.fake.getStateCalls, c.factory == S_OK ? 1 : 0) << "the task was not found";
        EXPECT_EQ(scope.fake.requestEnableCalls, c.requests);
        EXPECT_EQ(scope.fake.disableCalls, c.disables);
        EXPECT_EQ(scope.fake.roUninitializeCalls, c.leaves);
    }
}

// The wait gives up (no IAsyncInfo) after handing over its handler; the operation completes later, from
// another thread. The handler must set only its own event: the waiting side's handle is closed, its value reused.
TEST(StartupTask, LateCompletionTouchesNothingFreed) {
    FakeRuntime operation;
    operation.withAsyncInfo = false;
    StartupTaskState state = StartupTaskState::Enabled;
    EXPECT_EQ(WaitForAsyncOperation(static_cast<IAsyncOperationStartupTaskState*>(&operation), &state), E_NOINTERFACE);
    std::vector<HANDLE> spare(64);  // made after the wait gave up, to take over freed handle values
    for (HANDLE& event : spare) event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread([&] { operation.Complete(); }).join();
    for (HANDLE event : spare) EXPECT_NE(WaitForSingleObject(event, 0), WAIT_OBJECT_0) << "set an event not its own";
    for (HANDLE event : spare) CloseHandle(event);
}

std::wstring g_startupFolder;

// A shortcut left by an earlier unpackaged install would start a packaged run a second time.
TEST(StartupTask, PackagedRunDeletesTheShortcutAndUsesTheTask) {
    ScratchFolder startup;
    FakeRuntimeScope scope;
    g_startupFolder = startup.path();
    g_platform.shGetFolderPathW = [](HWND, int folder, HANDLE, DWORD, LPWSTR path) {
        return lstrcpynW(path, g_startupFolder.c_str(), MAX_PATH), folder == CSIDL_STARTUP ? S_OK : E_INVALIDARG;
    };
    g_platform.getCurrentPackageFullName = [](UINT32*, PWSTR) -> LONG { return ERROR_INSUFFICIENT_BUFFER; };
    ASSERT_TRUE(WriteBytes(startup / L"Hoverlatch.lnk", "left by an unpackaged install"));
    SetRunAtStartup(true);
    EXPECT_FALSE(FileExists(startup / L"Hoverlatch.lnk"));
    EXPECT_EQ(scope.fake.requestEnableCalls, 1);
}

}  // namespace
