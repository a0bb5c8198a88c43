#include "startup/StartupTask.h"

#include <windows.h>
#include <objbase.h>
#include <roapi.h>

#include <cstddef>
#include <new>

#include "platform/Handles.h"
#include "platform/Platform.h"
#include "startup/UniqueInterface.h"

namespace {

constexpr wchar_t kStartupTaskClass[] = L"Windows.ApplicationModel.StartupTask";
constexpr wchar_t kStartupTaskId[] = L"HoverlatchStartup";  // declared by the package manifest

template <size_t N>
constexpr UINT32 LengthOf(const wchar_t (&)[N]) {
    return static_cast<UINT32>(N - 1);
}

// The handler interface that goes with each operation.
template <class Operation>
struct OperationTraits;

template <>
struct OperationTraits<IAsyncOperationStartupTask> {
    using Handler = IAsyncOperationCompletedHandlerStartupTask;
    static constexpr const IID& kHandlerIid = IID_IAsyncOperationCompletedHandlerStartupTask;
};

template <>
struct OperationTraits<IAsyncOperationStartupTaskState> {
    using Handler = IAsyncOperationCompletedHandlerStartupTaskState;
    static constexpr const IID& kHandlerIid = IID_IAsyncOperationCompletedHandlerStartupTaskState;
};

// Sets an event when its operation completes, and does nothing else. It owns its own duplicate of the
// event: the operation may call it after the waiting side has given up and closed its handle, and the
// value of a closed handle is soon reused by an unrelated object.
template <class Operation>
class CompletionEventHandler final : public OperationTraits<Operation>::Handler {
public:
    using Handler = typename OperationTraits<Operation>::Handler;

    // Starts with one reference, which the caller owns.
    static HRESULT Create(HANDLE event, Handler** handler) {
        *handler = nullptr;
        HANDLE copy = nullptr;
        if (!DuplicateHandle(GetCurrentProcess(), event, GetCurrentProcess(), &copy, 0, FALSE,
                             DUPLICATE_SAME_ACCESS)) {
            return HRESULT_FROM_WIN32(GetLastError());
        }
        UniqueHandle owned(copy);
        auto* created = new (std::nothrow) CompletionEventHandler(std::move(owned));
        if (!created) return E_OUTOFMEMORY;
        *handler = created;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, OperationTraits<Operation>::kHandlerIid)) {
            *object = static_cast<Handler*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }

    // The operation may hold and release its reference on any thread.
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }

    ULONG STDMETHODCALLTYPE Release() override {
        LONG left = InterlockedDecrement(&references_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

    // Whatever the status: the waiting side reads it from the operation itself.
    HRESULT STDMETHODCALLTYPE Invoke(Operation*, AsyncStatus) override {
        SetEvent(event_.get());
        return S_OK;
    }

private:
    explicit CompletionEventHandler(UniqueHandle event) : event_(std::move(event)) {}
    ~CompletionEventHandler() = default;

    LONG references_ = 1;
    UniqueHandle event_;
};

constexpr DWORD kDispatchFlags = COWAIT_DISPATCH_CALLS | COWAIT_DISPATCH_WINDOW_MESSAGES;
constexpr int kMessagesPerRound = 100;  // then the event is looked at again, even if a window keeps repainting

// Dispatches what is queued for the thread. WM_QUIT is held back and posted again when the wait is over,
// so that the message loop it was meant for still ends.
void DispatchQueuedMessages(bool* quit, WPARAM* quitCode) {
    MSG message;
    for (int count = 0; count < kMessagesPerRound && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE); ++count) {
        if (message.message == WM_QUIT) {
            *quit = true;
            *quitCode = message.wParam;
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// Blocks until the event is set, while the thread's window messages (the corner timer, the tray icon)
// and incoming COM calls keep being dispatched.
HRESULT WaitDispatchingMessages(HANDLE event) {
    bool quit = false;
    WPARAM quitCode = 0;
    HRESULT result = S_OK;
    for (;;) {
        // Without blocking: dispatches incoming COM calls, and on Windows the window messages too.
        DWORD index = 0;
        result = CoWaitForMultipleHandles(kDispatchFlags, 0, 1, &event, &index);
        if (result != RPC_S_CALLPENDING) break;  // S_OK: the event is set; anything else: the wait failed
        // Wine's CoWaitForMultipleHandles ignores COWAIT_DISPATCH_WINDOW_MESSAGES and leaves posted messages
        // and timers queued (it only dispatches COM, DDE, paint and sent messages), so they are dispatched here.
        DispatchQueuedMessages(&quit, &quitCode);
        // MWMO_INPUTAVAILABLE: wake for messages already queued too, not only for ones that arrive later.
        DWORD woke = MsgWaitForMultipleObjectsEx(1, &event, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (woke == WAIT_FAILED) {
            result = HRESULT_FROM_WIN32(GetLastError());
            break;
        }
    }
    if (quit) PostQuitMessage(static_cast<int>(quitCode));
    return result;
}

template <class Operation, class Result>
HRESULT WaitForOperation(Operation* operation, Result* result) {
    if (result) *result = Result{};
    if (!operation || !result) return E_POINTER;

    UniqueHandle event(CreateEventExW(nullptr, nullptr, CREATE_EVENT_MANUAL_RESET, EVENT_ALL_ACCESS));
    if (!event) return HRESULT_FROM_WIN32(GetLastError());

    typename OperationTraits<Operation>::Handler* handler = nullptr;
    HRESULT hr = CompletionEventHandler<Operation>::Create(event.get(), &handler);
    if (FAILED(hr)) return hr;
    hr = operation->put_Completed(handler);
    handler->Release();  // from here on the operation holds the handler, as long as it needs it
    if (FAILED(hr)) return hr;

    IAsyncInfo* rawInfo = nullptr;
    hr = operation->QueryInterface(__uuidof(IAsyncInfo), reinterpret_cast<void**>(&rawInfo));
    UniqueInterface<IAsyncInfo> info(rawInfo);
    if (FAILED(hr)) return hr;
    if (!info) return E_NOINTERFACE;

    hr = WaitDispatchingMessages(event.get());
    if (FAILED(hr)) return hr;

    AsyncStatus status = AsyncStatus::Started;
    hr = info.get()->get_Status(&status);
    if (FAILED(hr)) return hr;
    if (status == AsyncStatus::Completed) return operation->GetResults(result);

    HRESULT error = E_FAIL;
    info.get()->get_ErrorCode(&error);
    return FAILED(error) ? error : E_FAIL;
}

enum class TaskStep { None, RequestEnable, Disable };

// What the task needs so that it follows the user's choice. A task disabled by the user or by policy
// still gets the request: the platform decides, and refuses without asking.
TaskStep ChooseTaskStep(StartupTaskState state, bool enable) {
    switch (state) {
    case StartupTaskState::Disabled:
    case StartupTaskState::DisabledByUser:
    case StartupTaskState::DisabledByPolicy: return enable ? TaskStep::RequestEnable : TaskStep::None;
    case StartupTaskState::Enabled:          return enable ? TaskStep::None : TaskStep::Disable;
    case StartupTaskState::EnabledByPolicy:  return TaskStep::None;  // only policy can change it
    }
    return TaskStep::None;  // a state this program does not know: leave the task alone
}

void ApplyToTask(IStartupTask* task, bool enable) {
    StartupTaskState state = StartupTaskState::Disabled;
    task->get_State(&state);  // on failure the preset applies
    switch (ChooseTaskStep(state, enable)) {
    case TaskStep::RequestEnable: {
        StartupTaskState granted = StartupTaskState::Disabled;
        RequestStartupTaskEnable(task, &granted);  // the stored setting stays whatever the platform grants
        break;
    }
    case TaskStep::Disable: task->Disable(); break;
    case TaskStep::None: break;
    }
}

}  // namespace

HRESULT WaitForAsyncOperation(IAsyncOperationStartupTask* operation, IStartupTask** result) {
    return WaitForOperation(operation, result);
}

HRESULT WaitForAsyncOperation(IAsyncOperationStartupTaskState* operation, StartupTaskState* result) {
    return WaitForOperation(operation, result);
}

HRESULT FetchStartupTask(IStartupTaskStatics* statics, IStartupTask** task) {
    if (task) *task = nullptr;
    if (!statics || !task) return E_POINTER;

    HSTRING_HEADER header;
    HSTRING taskId = nullptr;
    HRESULT hr = g_platform.windowsCreateStringReference(kStartupTaskId, LengthOf(kStartupTaskId), &header, &taskId);
    if (FAILED(hr)) return hr;

    IAsyncOperationStartupTask* rawOperation = nullptr;
    hr = statics->GetAsync(taskId, &rawOperation);
    UniqueInterface<IAsyncOperationStartupTask> operation(rawOperation);
    if (FAILED(hr)) return hr;
    if (!operation) return E_FAIL;
    return WaitForAsyncOperation(operation.get(), task);
}

HRESULT RequestStartupTaskEnable(IStartupTask* task, StartupTaskState* state) {
    if (state) *state = StartupTaskState::Disabled;
    if (!task || !state) return E_POINTER;

    IAsyncOperationStartupTaskState* rawOperation = nullptr;
    HRESULT hr = task->RequestEnableAsync(&rawOperation);
    UniqueInterface<IAsyncOperationStartupTaskState> operation(rawOperation);
    if (FAILED(hr)) return hr;
    if (!operation) return E_FAIL;
    return WaitForAsyncOperation(operation.get(), state);
}

void ApplyStartupTask(bool enable) {
    // May fail, e.g. on a thread already in the multithreaded apartment; the task is still worth a try.
    HRESULT init = g_platform.roInitialize(RO_INIT_SINGLETHREADED);
    bool initialised = init == S_OK || init == S_FALSE;
    {
        HSTRING_HEADER header;
        HSTRING className = nullptr;
        IStartupTaskStatics* rawStatics = nullptr;
        HRESULT hr = g_platform.windowsCreateStringReference(kStartupTaskClass, LengthOf(kStartupTaskClass), &header,
                                                             &className);
        if (SUCCEEDED(hr)) {
            hr = g_platform.roGetActivationFactory(className, IID_IStartupTaskStatics,
                                                   reinterpret_cast<void**>(&rawStatics));
        }
        UniqueInterface<IStartupTaskStatics> statics(rawStatics);
        IStartupTask* rawTask = nullptr;
        if (SUCCEEDED(hr) && statics) hr = FetchStartupTask(statics.get(), &rawTask);
        UniqueInterface<IStartupTask> task(rawTask);
        if (SUCCEEDED(hr) && task) ApplyToTask(task.get(), enable);
        // The task and the factory are released here, before the runtime is left.
    }
    if (initialised) g_platform.roUninitialize();
}
