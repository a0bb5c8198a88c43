#pragma once
// Stand-ins for the Windows Runtime's StartupTask factory, task and operations, answering from g_fake.
// InstallFakeRuntime points g_platform's runtime entries at them; the test's PlatformGuard restores them.
#include <windows.h>
#include <winstring.h>

#include <atomic>
#include <type_traits>

#include "app/Platform.h"
#include "startup/WinRtStartupInterfaces.h"

struct FakeRuntime {
    HRESULT roInitializeResult = S_OK, factoryResult = S_OK, getAsyncResult = S_OK;
    AsyncStatus fetchStatus = AsyncStatus::Completed;  // how GetAsync's operation ends, and with which code
    HRESULT fetchError = S_OK;
    StartupTaskState state = StartupTaskState::Disabled;
    int roInitializeCalls = 0, roUninitializeCalls = 0, getAsyncCalls = 0, getStateCalls = 0;
    int requestEnableCalls = 0, disableCalls = 0;
};
inline FakeRuntime g_fake;
inline std::atomic<int> g_fakesAlive{0};  // fake objects not yet destroyed

inline bool IsText(HSTRING text, const wchar_t* expected) {
    return lstrcmpW(WindowsGetStringRawBuffer(text, nullptr), expected) == 0;
}

// Reference counting and IInspectable for every fake; the product asks none of them for other interfaces.
template <class... Bases>
struct FakeObject : Bases... {
    FakeObject() { ++g_fakesAlive; }
    virtual ~FakeObject() { --g_fakesAlive; }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references)); }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG left = InterlockedDecrement(&references);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }
    HRESULT STDMETHODCALLTYPE GetIids(ULONG*, IID**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetRuntimeClassName(HSTRING*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTrustLevel(TrustLevel*) override { return E_NOTIMPL; }
    LONG references = 1;
};

// Completes inside put_Completed (as the platform does once the work is over), or, with completeAtOnce
// false, when the test calls Complete. Owns its result and keeps the handler until it is destroyed.
template <class Base, class Handler, class Result>
struct FakeOperation final : FakeObject<Base, IAsyncInfo> {
    FakeOperation(Result value, bool atOnce = true, AsyncStatus ending = AsyncStatus::Completed, HRESULT code = S_OK)
        : result(value), completeAtOnce(atOnce), finalStatus(ending), error(code) {}
    ~FakeOperation() override {
        if (handler && handler->Release() == 0) ++handlersFreed;
        if constexpr (std::is_pointer_v<Result>) result->Release();
    }
    void Complete() {
        if (completed.exchange(true)) return;
        status = finalStatus;
        if (handler) handler->Invoke(this, finalStatus);
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        *object = withAsyncInfo && IsEqualIID(iid, __uuidof(IAsyncInfo)) ? static_cast<IAsyncInfo*>(this) : nullptr;
        if (!*object) return E_NOINTERFACE;
        this->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_Completed(Handler* given) override {
        handler = given;
        handler->AddRef();
        if (completeAtOnce) Complete();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Completed(Handler**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetResults(Result* value) override {
        *value = result;
        if constexpr (std::is_pointer_v<Result>) result->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Id(UINT32*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Status(AsyncStatus* value) override {
        *value = status;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_ErrorCode(HRESULT* value) override {
        *value = error;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Cancel() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Close() override { return E_NOTIMPL; }

    static inline std::atomic<int> handlersFreed{0};  // a handler's last Release, given up by an operation
    Result result;
    bool completeAtOnce;
    AsyncStatus finalStatus;
    HRESULT error;
    bool withAsyncInfo = true;
    std::atomic<bool> completed{false};
    std::atomic<AsyncStatus> status{AsyncStatus::Started};
    Handler* handler = nullptr;
};

using FakeTaskOperation =
    FakeOperation<IAsyncOperationStartupTask, IAsyncOperationCompletedHandlerStartupTask, IStartupTask*>;
using FakeStateOperation =
    FakeOperation<IAsyncOperationStartupTaskState, IAsyncOperationCompletedHandlerStartupTaskState, StartupTaskState>;

struct FakeTask final : FakeObject<IStartupTask> {
    HRESULT STDMETHODCALLTYPE RequestEnableAsync(IAsyncOperationStartupTaskState** operation) override {
        ++g_fake.requestEnableCalls;
        *operation = new FakeStateOperation(StartupTaskState::Enabled);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Disable() override {
        ++g_fake.disableCalls;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_State(StartupTaskState* value) override {
        ++g_fake.getStateCalls;
        *value = g_fake.state;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_TaskId(HSTRING*) override { return E_NOTIMPL; }
};

// Knows only the task "HoverlatchStartup"; any other id ends with ERROR_NOT_FOUND, as the platform's does.
struct FakeStatics final : FakeObject<IStartupTaskStatics> {
    HRESULT STDMETHODCALLTYPE GetForCurrentPackageAsync(IInspectable**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetAsync(HSTRING taskId, IAsyncOperationStartupTask** operation) override {
        ++g_fake.getAsyncCalls;
        *operation = nullptr;
        if (FAILED(g_fake.getAsyncResult)) return g_fake.getAsyncResult;
        bool known = IsText(taskId, L"HoverlatchStartup");
        *operation = new FakeTaskOperation(new FakeTask, true, known ? g_fake.fetchStatus : AsyncStatus::Error,
                                           known ? g_fake.fetchError : HRESULT_FROM_WIN32(ERROR_NOT_FOUND));
        return S_OK;
    }
};

inline HRESULT WINAPI FakeRoGetActivationFactory(HSTRING className, REFIID iid, void** factory) {
    *factory = nullptr;
    if (FAILED(g_fake.factoryResult)) return g_fake.factoryResult;
    if (!IsText(className, L"Windows.ApplicationModel.StartupTask") || !IsEqualIID(iid, IID_IStartupTaskStatics)) {
        return REGDB_E_CLASSNOTREG;
    }
    *factory = static_cast<IStartupTaskStatics*>(new FakeStatics);
    return S_OK;
}

inline void InstallFakeRuntime() {
    g_fake = FakeRuntime{};
    g_platform.roInitialize = [](int) {
        ++g_fake.roInitializeCalls;
        return g_fake.roInitializeResult;
    };
    g_platform.roUninitialize = [] { ++g_fake.roUninitializeCalls; };
    g_platform.roGetActivationFactory = &FakeRoGetActivationFactory;
}
