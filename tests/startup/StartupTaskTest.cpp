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
        EXPECT_EQ(g_fake.getStateCalls, c.factory == S_OK ? 1 : 0) << "the task was not found";
        EXPECT_EQ(g_fake.requestEnableCalls, c.requests);
        EXPECT_EQ(g_fake.disableCalls, c.disables);
        EXPECT_EQ(g_fake.roUninitializeCalls, c.leaves);
    }
}

FakeStateOperation* g_pending = nullptr;

// Only a message posted to the waiting thread's window completes it; a watchdog turns a wait that does not
// dispatch into a failure instead of a hang.
TEST(WaitForAsyncOperation, DispatchesWindowMessagesWhileItWaits) {
    constexpr auto kWatchdog = std::chrono::seconds(10);
    for (int model : {-1, static_cast<int>(COINIT_APARTMENTTHREADED), static_cast<int>(COINIT_MULTITHREADED)}) {
        SCOPED_TRACE(testing::Message() << "COM model " << model);
        g_pending = new FakeStateOperation(StartupTaskState::Enabled, false);
        StartupTaskState state = StartupTaskState::Disabled;
        auto waiter = std::async(std::launch::async, [&] {
            HRESULT init = model < 0 ? E_FAIL : CoInitializeEx(nullptr, static_cast<DWORD>(model));
            HWND window = CreateWindowExW(0, L"STATIC", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
            SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(+[](HWND w, UINT m, WPARAM wp, LPARAM lp) {
                if (m == WM_APP) g_pending->Complete();
                return DefWindowProcW(w, m, wp, lp);
            }));
            PostMessageW(window, WM_APP, 0, 0);
            HRESULT waited = WaitForAsyncOperation(g_pending, &state);
            DestroyWindow(window);
            if (SUCCEEDED(init)) CoUninitialize();
            return waited;
        });
        const bool stuck = waiter.wait_for(kWatchdog) == std::future_status::timeout;
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
    constexpr int kSpareEvents = 64;  // new handles made after the wait gave up, to take over freed handle values
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

}  // namespace
