#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>

#include <thread>
#include <vector>

#include "FakeRuntime.h"
#include "startup/StartupTask.h"
#include "support/TestSupport.h"

namespace {

constexpr HRESULT kNotFound = HRESULT_FROM_WIN32(ERROR_NOT_FOUND);  // what a missing task id ends with
constexpr DWORD kWatchdogMs = 10000;  // an operation nobody completed is forced after this
constexpr int kSpareEvents = 64;      // new handles made after a wait gave up, to take over freed handle values

struct FakeScope {
    PlatformGuard guard;
    FakeScope() { InstallFakeRuntime(); }
};

TEST(StartupTask, StateAndChoiceDecideTheCalls) {
    using S = StartupTaskState;
    const struct { StartupTaskState state; bool enable; int requests, disables; } cases[] = {
        {S::Disabled, true, 1, 0},         {S::Disabled, false, 0, 0},
        {S::DisabledByUser, true, 1, 0},   {S::DisabledByUser, false, 0, 0},
        {S::Enabled, true, 0, 0},          {S::Enabled, false, 0, 1},
        {S::DisabledByPolicy, true, 1, 0}, {S::DisabledByPolicy, false, 0, 0},
        {S::EnabledByPolicy, true, 0, 0},  {S::EnabledByPolicy, false, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "state " << static_cast<int>(c.state) << (c.enable ? " enable" : " disable"));
        {
            FakeScope scope;
            g_fake.state = c.state;
            ApplyStartupTask(c.enable);
            EXPECT_EQ(g_fake.getAsyncCalls, 1);
            EXPECT_EQ(g_fake.getStateCalls, 1);
            EXPECT_EQ(g_fake.requestEnableCalls, c.requests);
            EXPECT_EQ(g_fake.disableCalls, c.disables);
        }
        EXPECT_EQ(g_fakesAlive.load(), 0) << "factory, task or operation not released";
    }
}

// The runtime is left only by a call that entered it (S_FALSE included); a failed entry does not stop the attempt.
TEST(StartupTask, RoUninitializeBalancesRoInitialize) {
    const struct { HRESULT init, factory, getAsync; int uninitialisations, stateReads; } cases[] = {
        {S_OK, S_OK, S_OK, 1, 1},                {S_FALSE, S_OK, S_OK, 1, 1},
        {RPC_E_CHANGED_MODE, S_OK, S_OK, 0, 1},  {S_OK, REGDB_E_CLASSNOTREG, S_OK, 1, 0},
        {E_OUTOFMEMORY, REGDB_E_CLASSNOTREG, S_OK, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.init << " " << c.factory << " " << c.getAsync);
        {
            FakeScope scope;
            g_fake.roInitializeResult = c.init;
            g_fake.factoryResult = c.factory;
            g_fake.getAsyncResult = c.getAsync;
            ApplyStartupTask(true);
            EXPECT_EQ(g_fake.roInitializeCalls, 1);
            EXPECT_EQ(g_fake.roUninitializeCalls, c.uninitialisations);
            EXPECT_EQ(g_fake.getStateCalls, c.stateReads);
        }
        EXPECT_EQ(g_fakesAlive.load(), 0);
    }
}

TEST(FetchStartupTask, ReturnsTheTaskOrWhyThereIsNone) {
    const struct { HRESULT getAsync; AsyncStatus status; HRESULT error, expected; } cases[] = {
        {S_OK, AsyncStatus::Completed, S_OK, S_OK},
        {E_ACCESSDENIED, AsyncStatus::Completed, S_OK, E_ACCESSDENIED},
        {S_OK, AsyncStatus::Error, kNotFound, kNotFound},
        {S_OK, AsyncStatus::Error, S_OK, E_FAIL},  // an error without a code is still a failure
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.getAsync << " " << c.error);
        {
            FakeScope scope;
            g_fake.getAsyncResult = c.getAsync;
            g_fake.fetchStatus = c.status;
            g_fake.fetchError = c.error;
            auto* statics = new FakeStatics;
            IStartupTask* task = reinterpret_cast<IStartupTask*>(statics);  // stale value, must be cleared
            EXPECT_EQ(FetchStartupTask(statics, &task), c.expected);
            EXPECT_EQ(task != nullptr, c.expected == S_OK);
            if (task) task->Release();
            statics->Release();
        }
        EXPECT_EQ(g_fakesAlive.load(), 0);
    }
}

TEST(StartupTaskCalls, NullArgumentsGiveEPointerAndClearTheOutValue) {
    IStartupTask* fetched = reinterpret_cast<IStartupTask*>(&fetched);  // stale value
    EXPECT_EQ(FetchStartupTask(nullptr, &fetched), E_POINTER);
    EXPECT_EQ(fetched, nullptr);
    StartupTaskState state = StartupTaskState::Enabled;
    EXPECT_EQ(RequestStartupTaskEnable(nullptr, &state), E_POINTER);
    EXPECT_EQ(state, StartupTaskState::Disabled);
    state = StartupTaskState::Enabled;
    EXPECT_EQ(WaitForAsyncOperation(static_cast<IAsyncOperationStartupTaskState*>(nullptr), &state), E_POINTER);
    EXPECT_EQ(state, StartupTaskState::Disabled);
}

FakeStateOperation* g_pending = nullptr;  // completed by the test window's procedure

LRESULT CALLBACK CompleteOnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_APP) return DefWindowProcW(window, message, wParam, lParam);
    g_pending->Complete();
    return 0;
}

// Only the thread's own window procedure completes the operation, from a posted message; a watchdog
// completes it after a deadline so a wait that does not dispatch fails instead of hanging.
TEST(WaitForAsyncOperation, DispatchesWindowMessagesWhileItWaits) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &CompleteOnMessage;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"Hoverlatch.Tests.Completer";
    RegisterClassW(&windowClass);
    for (int model : {-1, static_cast<int>(COINIT_APARTMENTTHREADED), static_cast<int>(COINIT_MULTITHREADED)}) {
        SCOPED_TRACE(testing::Message() << "COM model " << model);
        HRESULT waited = E_UNEXPECTED;
        StartupTaskState state = StartupTaskState::Disabled;
        bool byWatchdog = false;
        std::thread([&] {
            HRESULT init = model < 0 ? E_FAIL : CoInitializeEx(nullptr, static_cast<DWORD>(model));
            HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                          windowClass.hInstance, nullptr);
            g_pending = new FakeStateOperation(StartupTaskState::Enabled, false);
            HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
            std::thread watchdog([&] {
                if (WaitForSingleObject(done, kWatchdogMs) != WAIT_TIMEOUT) return;
                byWatchdog = true;
                g_pending->Complete();
            });
            PostMessageW(window, WM_APP, 0, 0);
            waited = WaitForAsyncOperation(g_pending, &state);
            SetEvent(done);
            watchdog.join();
            CloseHandle(done);
            DestroyWindow(window);
            g_pending->Release();
            if (SUCCEEDED(init)) CoUninitialize();
        }).join();
        EXPECT_EQ(waited, S_OK);
        EXPECT_EQ(state, StartupTaskState::Enabled);
        EXPECT_FALSE(byWatchdog) << "the wait did not dispatch the message that completes the operation";
    }
    EXPECT_EQ(g_fakesAlive.load(), 0);
}

// The wait gives up (no IAsyncInfo) after handing over its handler; the operation completes later, from
// another thread. The handler must set only its own event: the waiting side's handle is closed, its value reused.
TEST(WaitForAsyncOperation, LateCompletionTouchesNothingFreed) {
    auto* operation = new FakeStateOperation(StartupTaskState::Enabled, false);
    operation->withAsyncInfo = false;
    StartupTaskState state = StartupTaskState::Enabled;
    EXPECT_EQ(WaitForAsyncOperation(operation, &state), E_NOINTERFACE);

    std::vector<HANDLE> spare(kSpareEvents);
    for (HANDLE& event : spare) event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread([&] { operation->Complete(); }).join();
    int signalled = 0;
    for (HANDLE event : spare) {
        signalled += WaitForSingleObject(event, 0) == WAIT_OBJECT_0 ? 1 : 0;
        CloseHandle(event);
    }
    EXPECT_EQ(signalled, 0) << "the handler set an event that is not its own";
    int freed = FakeStateOperation::handlersFreed;
    operation->Release();  // the operation held the handler's last reference
    EXPECT_EQ(FakeStateOperation::handlersFreed, freed + 1);
    EXPECT_EQ(g_fakesAlive.load(), 0);
}

HRESULT g_realFactoryAnswer = S_OK;
HRESULT WINAPI ObservedRoGetActivationFactory(HSTRING className, REFIID iid, void** factory) {
    return g_realFactoryAnswer = RealPlatform().roGetActivationFactory(className, iid, factory);
}

// Wine registers no StartupTask class: both choices end quietly.
TEST(StartupTask, EndsQuietlyWhereTheRuntimeHasNoStartupTask) {
    for (bool enable : {true, false}) {
        SCOPED_TRACE(enable ? "enable" : "disable");
        PlatformGuard guard;
        g_platform = RealPlatform();
        g_platform.roGetActivationFactory = &ObservedRoGetActivationFactory;
        g_realFactoryAnswer = S_OK;
        ApplyStartupTask(enable);
        EXPECT_EQ(g_realFactoryAnswer, REGDB_E_CLASSNOTREG);
    }
}

}  // namespace
