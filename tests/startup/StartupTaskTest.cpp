#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>

#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "FakeRuntime.h"
#include "startup/StartupTask.h"

namespace {

constexpr DWORD kWatchdogMs = 10000;  // an operation nobody completed is forced after this
constexpr int kSpareEvents = 64;      // new handles made after a wait gave up, to take over freed handle values

// The runtime is left only by a call that entered it (S_FALSE included); a failed entry does not stop the attempt.
TEST(StartupTask, StateChoiceAndRuntimeAnswersDecideTheCalls) {
    using S = StartupTaskState;
    struct Case { S state; bool enable; int requests, disables; HRESULT init = S_OK, factory = S_OK; int leaves = 1; };
    const Case cases[] = {
        {S::Disabled, true, 1, 0},         {S::Disabled, false, 0, 0},
        {S::DisabledByUser, true, 1, 0},   {S::DisabledByUser, false, 0, 0},
        {S::Enabled, true, 0, 0},          {S::Enabled, false, 0, 1},
        {S::DisabledByPolicy, true, 1, 0}, {S::DisabledByPolicy, false, 0, 0},
        {S::EnabledByPolicy, true, 0, 0},  {S::EnabledByPolicy, false, 0, 0},
        {S::Disabled, true, 1, 0, S_FALSE}, {S::Disabled, true, 1, 0, RPC_E_CHANGED_MODE, S_OK, 0},
        {S::Disabled, true, 0, 0, S_OK, REGDB_E_CLASSNOTREG}, {S::Disabled, true, 0, 0, E_FAIL, REGDB_E_CLASSNOTREG, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "state " << static_cast<int>(c.state) << " enable " << c.enable << std::hex
                                        << " init " << c.init << " factory " << c.factory);
        FakeRuntimeScope scope;
        g_fake.state = c.state;
        g_fake.roInitializeResult = c.init;
        g_fake.factoryResult = c.factory;
        ApplyStartupTask(c.enable);
        EXPECT_EQ(g_fake.getStateCalls, c.factory == S_OK ? 1 : 0);
        EXPECT_EQ(g_fake.requestEnableCalls, c.requests);
        EXPECT_EQ(g_fake.disableCalls, c.disables);
        EXPECT_EQ(g_fake.roInitializeCalls, 1);
        EXPECT_EQ(g_fake.roUninitializeCalls, c.leaves);
    }
}

// Null arguments give E_POINTER; a failure clears the (stale) out value.
TEST(FetchStartupTask, ReturnsTheTaskOrWhyThereIsNone) {
    const struct { bool statics; HRESULT getAsync, error, expected; } cases[] = {
        {true, E_ACCESSDENIED, S_OK, E_ACCESSDENIED}, {true, S_OK, kTaskNotFound, kTaskNotFound},
        {true, S_OK, S_FALSE, E_FAIL},  // an error whose code is no failure code is still a failure
        {false, S_OK, S_OK, E_POINTER},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.getAsync << " " << c.error << " " << c.expected);
        FakeRuntimeScope scope;
        g_fake.getAsyncResult = c.getAsync;
        g_fake.fetchError = c.error;
        auto* statics = new FakeStatics;
        IStartupTask* task = reinterpret_cast<IStartupTask*>(statics);  // stale value, must be cleared
        EXPECT_EQ(FetchStartupTask(c.statics ? statics : nullptr, &task), c.expected);
        EXPECT_EQ(task, nullptr);
        statics->Release();
    }
}

FakeStateOperation* g_pending = nullptr;

// Only a message posted to the waiting thread's window completes it; the watchdog makes a wait that does not
// dispatch fail, not hang.
TEST(WaitForAsyncOperation, DispatchesWindowMessagesWhileItWaits) {
    for (int model : {-1, static_cast<int>(COINIT_APARTMENTTHREADED), static_cast<int>(COINIT_MULTITHREADED)}) {
        SCOPED_TRACE(testing::Message() << "COM model " << model);
        g_pending = new FakeStateOperation(StartupTaskState::Enabled, false);
        StartupTaskState state = StartupTaskState::Disabled;
        auto waiter = std::async(std::launch::async, [&] {
            HRESULT init = model < 0 ? E_FAIL : CoInitializeEx(nullptr, static_cast<DWORD>(model));
            HWND window = CreateWindowExW(0, L"STATIC", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
            WNDPROC completes = [](HWND w, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
                if (message == WM_APP) g_pending->Complete();
                return DefWindowProcW(w, message, wParam, lParam);
            };
            SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(completes));
            PostMessageW(window, WM_APP, 0, 0);
            HRESULT waited = WaitForAsyncOperation(g_pending, &state);
            DestroyWindow(window);
            if (SUCCEEDED(init)) CoUninitialize();
            return waited;
        });
        const bool stuck = waiter.wait_for(std::chrono::milliseconds(kWatchdogMs)) == std::future_status::timeout;
        if (stuck) g_pending->Complete();
        EXPECT_EQ(waiter.get(), S_OK);
        g_pending->Release();
        EXPECT_FALSE(stuck) << "the wait did not dispatch the posted message that completes the operation";
        EXPECT_EQ(state, StartupTaskState::Enabled);
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
    operation->Release();
    EXPECT_EQ(g_fakesAlive.load(), 0);
}

HRESULT g_realFactoryAnswer = S_OK;

// Wine registers no StartupTask class: both choices end quietly.
TEST(StartupTask, EndsQuietlyWhereTheRuntimeHasNoStartupTask) {
    PlatformGuard guard;
    g_platform = RealPlatform();
    g_platform.roGetActivationFactory = [](HSTRING className, REFIID iid, void** factory) {
        return g_realFactoryAnswer = RealPlatform().roGetActivationFactory(className, iid, factory);
    };
    for (bool enable : {true, false}) {
        g_realFactoryAnswer = S_OK;
        ApplyStartupTask(enable);
        EXPECT_EQ(g_realFactoryAnswer, REGDB_E_CLASSNOTREG) << (enable ? "enable" : "disable");
    }
}

}  // namespace
