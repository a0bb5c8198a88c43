#include "FakeRuntime.h"

#include <roapi.h>
#include <winstring.h>

#include <mutex>

#include "app/Platform.h"

FakeRuntime g_fakeRuntime;
std::atomic<int> g_fakeObjectsAlive{0};
std::atomic<bool> g_watchdogFired{false};

template <class Base, class Handler, class Result>
std::atomic<int> FakeOperation<Base, Handler, Result>::handlersFreed{0};

namespace {

// The platform's answers to a second handler and to results read too early.
constexpr HRESULT kIllegalDelegateAssignment = static_cast<HRESULT>(0x80000018);
constexpr HRESULT kIllegalMethodCall = static_cast<HRESULT>(0x8000000E);

constexpr DWORD kWatchdogMs = 10000;      // a Posted completion nobody dispatched is forced after this
constexpr UINT kCompleteMessage = WM_APP + 7;
constexpr WPARAM kTaskOperation = 1;      // lParam is a FakeTaskOperation
constexpr WPARAM kStateOperation = 2;     // lParam is a FakeStateOperation

std::mutex g_threadsLock;
std::vector<HANDLE> g_threads;

void StartHelperThread(LPTHREAD_START_ROUTINE routine, void* argument) {
    HANDLE thread = CreateThread(nullptr, 0, routine, argument, 0, nullptr);
    std::lock_guard<std::mutex> lock(g_threadsLock);
    if (thread) g_threads.push_back(thread);
}

std::wstring TextOf(HSTRING text) {
    UINT32 length = 0;
    const wchar_t* buffer = WindowsGetStringRawBuffer(text, &length);
    return std::wstring(buffer ? buffer : L"", length);
}

void AddRefResult(IStartupTask* task) {
    if (task) task->AddRef();
}
void AddRefResult(StartupTaskState) {}
void ReleaseResult(IStartupTask* task) {
    if (task) task->Release();
}
void ReleaseResult(StartupTaskState) {}

LRESULT CALLBACK CompleterProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != kCompleteMessage) return DefWindowProcW(window, message, wParam, lParam);
    if (wParam == kTaskOperation) {
        auto* operation = reinterpret_cast<FakeTaskOperation*>(lParam);
        operation->Complete();
        operation->Release();
    } else if (wParam == kStateOperation) {
        auto* operation = reinterpret_cast<FakeStateOperation*>(lParam);
        operation->Complete();
        operation->Release();
    }
    return 0;
}

// A message-only window of the calling thread that completes operations posted to it.
HWND CompleterWindow() {
    static ATOM atom = [] {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = &CompleterProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"Hoverlatch.Tests.FakeRuntimeCompleter";
        return RegisterClassW(&windowClass);
    }();
    thread_local HWND window = nullptr;
    if (!window || !IsWindow(window)) {
        window = CreateWindowExW(0, MAKEINTATOM(atom), L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    }
    return window;
}

WPARAM KindOf(FakeTaskOperation*) { return kTaskOperation; }
WPARAM KindOf(FakeStateOperation*) { return kStateOperation; }

template <class Operation>
DWORD WINAPI CompleteFromThread(void* argument) {
    auto* operation = static_cast<Operation*>(argument);
    operation->Complete();
    operation->Release();
    return 0;
}

// Holds its own reference to the operation, and with it the operation's done event, while it watches.
template <class Operation>
DWORD WINAPI WatchdogThread(void* argument) {
    auto* operation = static_cast<Operation*>(argument);
    if (WaitForSingleObject(operation->doneEvent(), kWatchdogMs) == WAIT_TIMEOUT) {
        operation->completedByWatchdog = true;
        g_watchdogFired = true;
        operation->Complete();
    }
    operation->Release();
    return 0;
}

class FakeTask final : public IStartupTask {
public:
    FakeTask() { ++g_fakeObjectsAlive; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, __uuidof(IInspectable)) || IsEqualIID(iid, IID_IStartupTask)) {
            *object = static_cast<IStartupTask*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG left = --references_;
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }
    HRESULT STDMETHODCALLTYPE GetIids(ULONG*, IID**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetRuntimeClassName(HSTRING*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTrustLevel(TrustLevel*) override { return E_NOTIMPL; }

    HRESULT STDMETHODCALLTYPE RequestEnableAsync(IAsyncOperationStartupTaskState** operation) override {
        ++g_fakeRuntime.requestEnableCalls;
        *operation = new FakeStateOperation(g_fakeRuntime.completion, AsyncStatus::Completed, S_OK,
                                            g_fakeRuntime.grantedState);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Disable() override {
        ++g_fakeRuntime.disableCalls;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_State(StartupTaskState* value) override {
        ++g_fakeRuntime.getStateCalls;
        if (FAILED(g_fakeRuntime.getStateResult)) return g_fakeRuntime.getStateResult;
        *value = g_fakeRuntime.state;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_TaskId(HSTRING*) override { return E_NOTIMPL; }

private:
    ~FakeTask() { --g_fakeObjectsAlive; }
    std::atomic<LONG> references_{1};
};

class FakeStatics final : public IStartupTaskStatics {
public:
    FakeStatics() { ++g_fakeObjectsAlive; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, __uuidof(IInspectable)) ||
            IsEqualIID(iid, IID_IStartupTaskStatics)) {
            *object = static_cast<IStartupTaskStatics*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG left = --references_;
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }
    HRESULT STDMETHODCALLTYPE GetIids(ULONG*, IID**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetRuntimeClassName(HSTRING*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTrustLevel(TrustLevel*) override { return E_NOTIMPL; }

    HRESULT STDMETHODCALLTYPE GetForCurrentPackageAsync(IInspectable**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetAsync(HSTRING taskId, IAsyncOperationStartupTask** operation) override {
        ++g_fakeRuntime.getAsyncCalls;
        g_fakeRuntime.taskId = TextOf(taskId);
        *operation = nullptr;
        if (FAILED(g_fakeRuntime.getAsyncResult)) return g_fakeRuntime.getAsyncResult;
        if (g_fakeRuntime.getAsyncYieldsNothing) return S_OK;
        IStartupTask* task = g_fakeRuntime.fetchYieldsNoTask ? nullptr : NewFakeTask();
        *operation = new FakeTaskOperation(g_fakeRuntime.completion, g_fakeRuntime.fetchStatus,
                                           g_fakeRuntime.fetchError, task);
        if (task) task->Release();  // the operation holds it now
        return S_OK;
    }

private:
    ~FakeStatics() { --g_fakeObjectsAlive; }
    std::atomic<LONG> references_{1};
};

HRESULT WINAPI FakeRoInitialize(int) {
    ++g_fakeRuntime.roInitializeCalls;
    return g_fakeRuntime.roInitializeResult;
}

void WINAPI FakeRoUninitialize() { ++g_fakeRuntime.roUninitializeCalls; }

HRESULT WINAPI FakeRoGetActivationFactory(HSTRING className, REFIID iid, void** factory) {
    ++g_fakeRuntime.factoryCalls;
    g_fakeRuntime.factoryClass = TextOf(className);
    g_fakeRuntime.factoryIidMatched = IsEqualIID(iid, IID_IStartupTaskStatics);
    *factory = nullptr;
    if (FAILED(g_fakeRuntime.factoryResult)) return g_fakeRuntime.factoryResult;
    if (g_fakeRuntime.factoryYieldsNothing) return S_OK;
    *factory = NewFakeStatics();
    return S_OK;
}

HRESULT WINAPI FakeWindowsCreateStringReference(PCWSTR text, UINT32 length, HSTRING_HEADER* header, HSTRING* string) {
    if (FAILED(g_fakeRuntime.stringReferenceResult)) return g_fakeRuntime.stringReferenceResult;
    return WindowsCreateStringReference(text, length, header, string);
}

}  // namespace

template <class Base, class Handler, class Result>
FakeOperation<Base, Handler, Result>::FakeOperation(Completion completion, AsyncStatus finalStatus, HRESULT errorCode,
                                                    Result result)
    : completion_(completion), finalStatus_(finalStatus), errorCode_(errorCode), result_(result) {
    AddRefResult(result_);
    doneEvent_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ++g_fakeObjectsAlive;
}

template <class Base, class Handler, class Result>
FakeOperation<Base, Handler, Result>::~FakeOperation() {
    if (handler_ && handler_->Release() == 0) ++handlersFreed;
    ReleaseResult(result_);
    CloseHandle(doneEvent_);
    --g_fakeObjectsAlive;
}

template <class Base, class Handler, class Result>
HRESULT FakeOperation<Base, Handler, Result>::Complete() {
    if (completed_.exchange(true)) return S_FALSE;
    status_ = finalStatus_;
    HRESULT answer = S_FALSE;
    if (handler_) answer = lastInvokeResult = handler_->Invoke(this, finalStatus_);
    SetEvent(doneEvent_);
    return answer;
}

template <class Base, class Handler, class Result>
void FakeOperation<Base, Handler, Result>::StartCompletion() {
    switch (completion_) {
    case Completion::Synchronous: Complete(); break;
    case Completion::Posted: {
        AddRef();
        PostMessageW(CompleterWindow(), kCompleteMessage, KindOf(this), reinterpret_cast<LPARAM>(this));
        StartWatchdog();
        break;
    }
    case Completion::FromThread:
        AddRef();
        StartHelperThread(&CompleteFromThread<FakeOperation>, this);
        break;
    case Completion::Never: break;
    }
}

template <class Base, class Handler, class Result>
void FakeOperation<Base, Handler, Result>::StartWatchdog() {
    AddRef();
    StartHelperThread(&WatchdogThread<FakeOperation>, this);
}

template <class Base, class Handler, class Result>
HRESULT STDMETHODCALLTYPE FakeOperation<Base, Handler, Result>::QueryInterface(REFIID iid, void** object) {
    if (IsEqualIID(iid, __uuidof(IAsyncInfo))) {
        if (FAILED(queryAsyncInfoResult)) {
            *object = nullptr;
            return queryAsyncInfoResult;
        }
        *object = static_cast<IAsyncInfo*>(this);
        AddRef();
        return S_OK;
    }
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, __uuidof(IInspectable))) {
        *object = static_cast<Base*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

template <class Base, class Handler, class Result>
ULONG STDMETHODCALLTYPE FakeOperation<Base, Handler, Result>::AddRef() {
    return static_cast<ULONG>(++references_);
}

template <class Base, class Handler, class Result>
ULONG STDMETHODCALLTYPE FakeOperation<Base, Handler, Result>::Release() {
    LONG left = --references_;
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
}

template <class Base, class Handler, class Result>
HRESULT STDMETHODCALLTYPE FakeOperation<Base, Handler, Result>::GetIids(ULONG*, IID**) {
    return E_NOTIMPL;
}

template <class Base, class Handler, class Result>
HRESULT STDMETHODCALLTYPE FakeOperation<Base, Handler, Result>::GetRuntimeClassName(HSTRING*) {
    return E_NOTIMPL;
}

template <class Base, class Handler, class Result>
HRESULT STDMETHODCALLTYPE FakeOperation<Base, Handler, Result>::GetTrustLevel(TrustLevel*) {
    return E_NOTIMPL;
}

template <class Base, class Handler, class Result>
HRESULT STDMETHODCALLTYPE FakeOperation<Base, Handler, Result>::put_Completed(Handler* handler) {
    ++putCompletedCalls;
    if (FAILED(putCompletedResult)) return putCompletedResult;
    if (handler_) return kIllegalDelegateAssignment;  // the platform accepts one handler per operation
    handler->AddRef();
    handler_ = handler;
    StartCompletion();
    return S_OK;
}

template <class Base, class Handler, class Result>
HRESULT STDMETHODCALLTYPE FakeOperation<Base, Handler, Result>::get_Completed(Handler** handler) {
    *handler = handler_;
    if (handler_) handler_->AddRef();
    return S_OK;
}

template <class Base, class Handler, class Result>
HRESULT STDMETHODCALLTYPE FakeOperation<Base, Handler, Result>::GetResults(Result* results) {
    ++getResultsCalls;
    if (FAILED(getResultsResult)) return getResultsResult;
    if (status_ != AsyncStatus::Completed) return kIllegalMethodCall;
    *results = result_;
    AddRefResult(*results);
    return S_OK;
}

template <class Base, class Handler, class Result>
HRESULT STDMETHODCALLTYPE FakeOperation<Base, Handler, Result>::get_Id(UINT32* id) {
    *id = 1;
    return S_OK;
}

template <class Base, class Handler, class Result>
HRESULT STDMETHODCALLTYPE FakeOperation<Base, Handler, Result>::get_Status(AsyncStatus* status) {
    if (FAILED(getStatusResult)) return getStatusResult;
    *status = status_;
    return S_OK;
}

template <class Base, class Handler, class Result>
HRESULT STDMETHODCALLTYPE FakeOperation<Base, Handler, Result>::get_ErrorCode(HRESULT* errorCode) {
    *errorCode = status_ == AsyncStatus::Completed ? S_OK : errorCode_;
    return S_OK;
}

template <class Base, class Handler, class Result>
HRESULT STDMETHODCALLTYPE FakeOperation<Base, Handler, Result>::Cancel() {
    return S_OK;
}

template <class Base, class Handler, class Result>
HRESULT STDMETHODCALLTYPE FakeOperation<Base, Handler, Result>::Close() {
    return S_OK;
}

template class FakeOperation<IAsyncOperationStartupTask, IAsyncOperationCompletedHandlerStartupTask, IStartupTask*>;
template class FakeOperation<IAsyncOperationStartupTaskState, IAsyncOperationCompletedHandlerStartupTaskState,
                             StartupTaskState>;

IStartupTask* NewFakeTask() { return new FakeTask(); }
IStartupTaskStatics* NewFakeStatics() { return new FakeStatics(); }

void InstallFakeRuntime() {
    g_fakeRuntime = FakeRuntime{};
    g_watchdogFired = false;
    g_platform.roInitialize = &FakeRoInitialize;
    g_platform.roUninitialize = &FakeRoUninitialize;
    g_platform.roGetActivationFactory = &FakeRoGetActivationFactory;
    g_platform.windowsCreateStringReference = &FakeWindowsCreateStringReference;
}

void JoinFakeThreads() {
    for (;;) {
        HANDLE thread = nullptr;
        {
            std::lock_guard<std::mutex> lock(g_threadsLock);
            if (g_threads.empty()) return;
            thread = g_threads.back();
            g_threads.pop_back();
        }
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
}
