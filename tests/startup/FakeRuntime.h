#pragma once
// Stand-ins for the Windows Runtime's StartupTask factory, task and operations, answering from g_fake.
#include <gtest/gtest.h>
#include <windows.h>
#include <winstring.h>

#include <atomic>
#include <string>
#include <type_traits>

#include "startup/WinRtStartupInterfaces.h"
#include "support/TestSupport.h"

inline std::atomic<int> g_fakesAlive{0};  // fake objects not yet destroyed

// Reference counting and IInspectable for every fake; the product asks none of them for other interfaces.
template <class... Bases>
struct FakeObject : Bases... {
    FakeObject() { ++g_fakesAlive; }
    virtual ~FakeObject() { --g_fakesAlive; }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override { return *out = nullptr, E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references)); }
    ULONG STDMETHODCALLTYPE Release() override {
        if (LONG left = InterlockedDecrement(&references)) return static_cast<ULONG>(left);
        return delete this, 0;
    }
    HRESULT STDMETHODCALLTYPE GetIids(ULONG*, IID**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetRuntimeClassName(HSTRING*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTrustLevel(TrustLevel*) override { return E_NOTIMPL; }
    LONG references = 1;
};

// Completes in put_Completed, or (atOnce false) when the test calls Complete; in error unless `error` is S_OK.
template <class Base, class Handler, class Result>
struct FakeOperation final : FakeObject<Base, IAsyncInfo> {
    FakeOperation(Result value, bool atOnce = true, HRESULT code = S_OK) : result(value), atOnce(atOnce), error(code) {}
    ~FakeOperation() override {
        if (handler) handler->Release();
        if constexpr (std::is_pointer_v<Result>) result->Release();
    }
    void Complete() {
        if (completed.exchange(true)) return;
        status = error == S_OK ? AsyncStatus::Completed : AsyncStatus::Error;
        if (handler) handler->Invoke(this, status);
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!withAsyncInfo || !IsEqualIID(iid, __uuidof(IAsyncInfo))) return *object = nullptr, E_NOINTERFACE;
        return *object = static_cast<IAsyncInfo*>(this), this->AddRef(), S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_Completed(Handler* given) override {
        (handler = given)->AddRef();
        if (atOnce) Complete();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetResults(Result* value) override {
        if constexpr (std::is_pointer_v<Result>) result->AddRef();
        return *value = result, S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Status(AsyncStatus* value) override { return *value = status, S_OK; }
    HRESULT STDMETHODCALLTYPE get_ErrorCode(HRESULT* value) override { return *value = error, S_OK; }
    HRESULT STDMETHODCALLTYPE get_Completed(Handler**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Id(UINT32*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Cancel() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Close() override { return E_NOTIMPL; }

    Result result;
    bool atOnce, withAsyncInfo = true;
    HRESULT error;
    std::atomic<bool> completed{false};
    std::atomic<AsyncStatus> status{AsyncStatus::Started};
    Handler* handler = nullptr;
};
using FakeTaskOperation =
    FakeOperation<IAsyncOperationStartupTask, IAsyncOperationCompletedHandlerStartupTask, IStartupTask*>;
using FakeStateOperation =
    FakeOperation<IAsyncOperationStartupTaskState, IAsyncOperationCompletedHandlerStartupTaskState, StartupTaskState>;

struct FakeRuntime {
    HRESULT roInitializeResult = S_OK, factoryResult = S_OK;
    StartupTaskState state = StartupTaskState::Disabled;
    bool enableWaits = false;                    // the enable request completes only when the test says so
    FakeStateOperation* pendingEnable = nullptr;  // that request, alive while the product holds it
    HWND clickDuringEnable = nullptr;             // gets WM_APP once the enable request is made
    int roInitializeCalls = 0, roUninitializeCalls = 0, getStateCalls = 0, requestEnableCalls = 0, disableCalls = 0;
};
inline FakeRuntime g_fake;

struct FakeTask final : FakeObject<IStartupTask> {
    HRESULT STDMETHODCALLTYPE RequestEnableAsync(IAsyncOperationStartupTaskState** operation) override {
        ++g_fake.requestEnableCalls;
        g_fake.pendingEnable = new FakeStateOperation(StartupTaskState::Enabled, !g_fake.enableWaits);
        if (g_fake.clickDuringEnable) PostMessageW(g_fake.clickDuringEnable, WM_APP, 0, 0);
        return *operation = g_fake.pendingEnable, S_OK;
    }
    HRESULT STDMETHODCALLTYPE Disable() override { return ++g_fake.disableCalls, S_OK; }
    HRESULT STDMETHODCALLTYPE get_State(StartupTaskState* value) override {
        return ++g_fake.getStateCalls, *value = g_fake.state, S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_TaskId(HSTRING*) override { return E_NOTIMPL; }
};

// Knows only the task "HoverlatchStartup"; any other id ends with ERROR_NOT_FOUND, as the platform's does.
struct FakeStatics final : FakeObject<IStartupTaskStatics> {
    HRESULT STDMETHODCALLTYPE GetForCurrentPackageAsync(IInspectable**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetAsync(HSTRING taskId, IAsyncOperationStartupTask** operation) override {
        const bool known = std::wstring(WindowsGetStringRawBuffer(taskId, nullptr)) == L"HoverlatchStartup";
        *operation = new FakeTaskOperation(new FakeTask, true, known ? S_OK : HRESULT_FROM_WIN32(ERROR_NOT_FOUND));
        return S_OK;
    }
};

// A fresh g_fake behind g_platform's runtime entries; when the scope ends every fake must have been released.
struct FakeRuntimeScope {
    PlatformGuard guard;
    ~FakeRuntimeScope() { EXPECT_EQ(g_fakesAlive.load(), 0) << "factory, task or operation not released"; }
    FakeRuntimeScope() {
        g_fake = FakeRuntime{};
        g_platform.roInitialize = [](int) { return ++g_fake.roInitializeCalls, g_fake.roInitializeResult; };
        g_platform.roUninitialize = [] { ++g_fake.roUninitializeCalls; };
        g_platform.roGetActivationFactory = [](HSTRING className, REFIID iid, void** factory) -> HRESULT {
            *factory = nullptr;
            if (FAILED(g_fake.factoryResult)) return g_fake.factoryResult;
            const std::wstring name = WindowsGetStringRawBuffer(className, nullptr);
            if (name != L"Windows.ApplicationModel.StartupTask" || iid != IID_IStartupTaskStatics) {
                return REGDB_E_CLASSNOTREG;
            }
            return *factory = static_cast<IStartupTaskStatics*>(new FakeStatics), S_OK;
        };
    }
};
