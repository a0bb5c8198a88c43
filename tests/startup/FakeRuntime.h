#pragma once
// A stand-in for the Windows Runtime's StartupTask factory, task and operations, answering from g_fake.
#include <gtest/gtest.h>
#include <windows.h>
#include <winstring.h>

#include <atomic>
#include <string>

#include "startup/WinRtStartupInterfaces.h"
#include "support/TestSupport.h"

struct FakeStartupRuntime;
struct FakeRuntime {
    HRESULT roInitializeResult = S_OK, factoryResult = S_OK;
    StartupTaskState state = StartupTaskState::Disabled;
    HWND clickDuringEnable = nullptr;  // the enable request posts it WM_APP and waits for Complete
    FakeStartupRuntime* runtime = nullptr;
    int roUninitializeCalls = 0, getStateCalls = 0, requestEnableCalls = 0, disableCalls = 0;
};
inline FakeRuntime g_fake;
inline std::atomic<int> g_fakesAlive{0};  // fake objects not yet destroyed

using TaskHandler = IAsyncOperationCompletedHandlerStartupTask;
using StateHandler = IAsyncOperationCompletedHandlerStartupTaskState;
#define HOVERLATCH_NOT_ASKED(method) HRESULT STDMETHODCALLTYPE method override { return E_NOTIMPL; }

// One object plays the factory, the task and both operations: the product holds each through its own
// interface, and every reference counts on this one object. The task lookup completes at once; the enable
// request too, unless `atOnce` is false: then only Complete ends it.
struct FakeStartupRuntime final : IStartupTaskStatics, IStartupTask, IAsyncOperationStartupTask,
                                  IAsyncOperationStartupTaskState, IAsyncInfo {
    FakeStartupRuntime() { ++g_fakesAlive; }
    ~FakeStartupRuntime() {
        --g_fakesAlive;
        if (taskHandler) taskHandler->Release();
        if (stateHandler) stateHandler->Release();
    }
    void Complete() {
        if (completed.exchange(true)) return;
        status = AsyncStatus::Completed;
        if (stateHandler) stateHandler->Invoke(this, status);
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!withAsyncInfo || !IsEqualIID(iid, __uuidof(IAsyncInfo))) return *object = nullptr, E_NOINTERFACE;
        return *object = static_cast<IAsyncInfo*>(this), AddRef(), S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references)); }
    ULONG STDMETHODCALLTYPE Release() override {
        if (LONG left = InterlockedDecrement(&references)) return static_cast<ULONG>(left);
        return delete this, 0;
    }
    HOVERLATCH_NOT_ASKED(GetIids(ULONG*, IID**)) HOVERLATCH_NOT_ASKED(GetRuntimeClassName(HSTRING*))
    HOVERLATCH_NOT_ASKED(GetTrustLevel(TrustLevel*)) HOVERLATCH_NOT_ASKED(GetForCurrentPackageAsync(IInspectable**))
    HOVERLATCH_NOT_ASKED(get_TaskId(HSTRING*)) HOVERLATCH_NOT_ASKED(get_Id(UINT32*)) HOVERLATCH_NOT_ASKED(Cancel())
    HOVERLATCH_NOT_ASKED(get_Completed(TaskHandler**)) HOVERLATCH_NOT_ASKED(get_Completed(StateHandler**))
    HOVERLATCH_NOT_ASKED(Close())
    // Knows only the task "HoverlatchStartup"; any other id ends with ERROR_NOT_FOUND, as the platform's does.
    HRESULT STDMETHODCALLTYPE GetAsync(HSTRING taskId, IAsyncOperationStartupTask** operation) override {
        const bool known = std::wstring(WindowsGetStringRawBuffer(taskId, nullptr)) == L"HoverlatchStartup";
        error = known ? S_OK : HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
        return *operation = this, AddRef(), S_OK;
    }
    HRESULT STDMETHODCALLTYPE RequestEnableAsync(IAsyncOperationStartupTaskState** operation) override {
        ++g_fake.requestEnableCalls;
        status = AsyncStatus::Started;
        if ((atOnce = !g_fake.clickDuringEnable) == false) PostMessageW(g_fake.clickDuringEnable, WM_APP, 0, 0);
        return *operation = this, AddRef(), S_OK;
    }
    HRESULT STDMETHODCALLTYPE Disable() override { return ++g_fake.disableCalls, S_OK; }
    HRESULT STDMETHODCALLTYPE get_State(StartupTaskState* value) override {
        return ++g_fake.getStateCalls, *value = g_fake.state, S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_Completed(TaskHandler* handler) override {
        (taskHandler = handler)->AddRef();
        status = error == S_OK ? AsyncStatus::Completed : AsyncStatus::Error;
        return handler->Invoke(this, status), S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_Completed(StateHandler* handler) override {
        (stateHandler = handler)->AddRef();
        return atOnce ? Complete() : void(), S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetResults(IStartupTask** task) override { return *task = this, AddRef(), S_OK; }
    HRESULT STDMETHODCALLTYPE GetResults(StartupTaskState* state) override { return *state = granted, S_OK; }
    HRESULT STDMETHODCALLTYPE get_Status(AsyncStatus* value) override { return *value = status, S_OK; }
    HRESULT STDMETHODCALLTYPE get_ErrorCode(HRESULT* value) override { return *value = error, S_OK; }

    LONG references = 1;
    bool atOnce = true, withAsyncInfo = true;
    HRESULT error = S_OK;
    StartupTaskState granted = StartupTaskState::Enabled;
    std::atomic<bool> completed{false};
    std::atomic<AsyncStatus> status{AsyncStatus::Started};
    TaskHandler* taskHandler = nullptr;
    StateHandler* stateHandler = nullptr;
};

// A fresh g_fake behind g_platform's runtime entries; when the scope ends the fake must have been released.
struct FakeRuntimeScope {
    PlatformGuard guard;
    ~FakeRuntimeScope() { EXPECT_EQ(g_fakesAlive.load(), 0) << "factory, task or operation not released"; }
    FakeRuntimeScope() {
        g_fake = FakeRuntime{};
        g_platform.roInitialize = [](int) { return g_fake.roInitializeResult; };
        g_platform.roUninitialize = [] { ++g_fake.roUninitializeCalls; };
        g_platform.roGetActivationFactory = [](HSTRING className, REFIID iid, void** factory) -> HRESULT {
            *factory = nullptr;
            if (FAILED(g_fake.factoryResult)) return g_fake.factoryResult;
            const std::wstring name = WindowsGetStringRawBuffer(className, nullptr);
            if (name != L"Windows.ApplicationModel.StartupTask" || iid != IID_IStartupTaskStatics) return REGDB_E_CLASSNOTREG;
            return *factory = static_cast<IStartupTaskStatics*>(g_fake.runtime = new FakeStartupRuntime), S_OK;
        };
    }
};
