#pragma once
// A stand-in for the Windows Runtime's startup-task classes: a factory, a task and asynchronous
// operations that complete synchronously, later from a posted message, or later from another thread.
// InstallFakeRuntime points g_platform's runtime entries at it; the test's PlatformGuard restores them.
#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include "startup/WinRtStartupInterfaces.h"

enum class Completion {
    Synchronous,  // inside put_Completed, as the platform does for an operation that is already over
    Posted,       // from a message posted to a window of the calling thread: only a dispatching wait sees it
    FromThread,   // from another thread, right after put_Completed
    Never,        // only when the test calls Complete
};

// What the fake runtime answers, and what it was asked.
struct FakeRuntime {
    // Answers.
    HRESULT roInitializeResult = S_OK;
    HRESULT stringReferenceResult = S_OK;
    HRESULT factoryResult = S_OK;
    bool factoryYieldsNothing = false;
    HRESULT getAsyncResult = S_OK;
    bool getAsyncYieldsNothing = false;
    Completion completion = Completion::Synchronous;
    AsyncStatus fetchStatus = AsyncStatus::Completed;
    HRESULT fetchError = S_OK;
    bool fetchYieldsNoTask = false;
    StartupTaskState state = StartupTaskState::Disabled;
    HRESULT getStateResult = S_OK;
    StartupTaskState grantedState = StartupTaskState::Enabled;

    // Observations.
    int roInitializeCalls = 0;
    int roUninitializeCalls = 0;
    int factoryCalls = 0;
    int getAsyncCalls = 0;
    int getStateCalls = 0;
    int requestEnableCalls = 0;
    int disableCalls = 0;
    std::wstring factoryClass;  // class name the factory was asked for
    std::wstring taskId;        // task identifier GetAsync was asked for
    bool factoryIidMatched = false;
};

extern FakeRuntime g_fakeRuntime;

// Fake objects (factory, task, operations) not yet destroyed; zero once everything was released.
extern std::atomic<int> g_fakeObjectsAlive;
// Set when a watchdog had to complete a Posted operation that nobody dispatched within its deadline.
extern std::atomic<bool> g_watchdogFired;

// Resets g_fakeRuntime and the counters, and points g_platform's four runtime entries at the fake.
void InstallFakeRuntime();
// Waits for every helper thread the fakes started (completions from other threads, watchdogs).
void JoinFakeThreads();

// An asynchronous operation with its IAsyncInfo. Holds the handler it was given until it is destroyed,
// so a test can invoke it at any time.
template <class Base, class Handler, class Result>
class FakeOperation final : public Base, public IAsyncInfo {
public:
    FakeOperation(Completion completion, AsyncStatus finalStatus, HRESULT errorCode, Result result);

    // Sets the final status and invokes the handler, once; later calls do nothing. Returns the handler's
    // answer, or S_FALSE when there was nothing to do.
    HRESULT Complete();

    // Knobs for error paths.
    HRESULT putCompletedResult = S_OK;
    HRESULT queryAsyncInfoResult = S_OK;
    HRESULT getStatusResult = S_OK;
    HRESULT getResultsResult = S_OK;
    // Invoke the handler again with the handler's own reference only (the caller has returned).
    Handler* handler() const { return handler_; }
    int putCompletedCalls = 0;
    int getResultsCalls = 0;
    HRESULT lastInvokeResult = S_FALSE;
    std::atomic<bool> completedByWatchdog{false};
    HANDLE doneEvent() const { return doneEvent_; }
    // Completes the operation from another thread if nothing else has after a deadline, and then
    // sets completedByWatchdog: a test that waits for it fails instead of hanging.
    void StartWatchdog();

    // IUnknown, IInspectable
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetIids(ULONG* count, IID** iids) override;
    HRESULT STDMETHODCALLTYPE GetRuntimeClassName(HSTRING* name) override;
    HRESULT STDMETHODCALLTYPE GetTrustLevel(TrustLevel* level) override;
    // IAsyncOperation<T>
    HRESULT STDMETHODCALLTYPE put_Completed(Handler* handler) override;
    HRESULT STDMETHODCALLTYPE get_Completed(Handler** handler) override;
    HRESULT STDMETHODCALLTYPE GetResults(Result* results) override;
    // IAsyncInfo
    HRESULT STDMETHODCALLTYPE get_Id(UINT32* id) override;
    HRESULT STDMETHODCALLTYPE get_Status(AsyncStatus* status) override;
    HRESULT STDMETHODCALLTYPE get_ErrorCode(HRESULT* errorCode) override;
    HRESULT STDMETHODCALLTYPE Cancel() override;
    HRESULT STDMETHODCALLTYPE Close() override;

    // The handler's final Release answered 0: it deleted itself when the operation let go.
    static std::atomic<int> handlersFreed;

private:
    ~FakeOperation();
    void StartCompletion();

    std::atomic<LONG> references_{1};
    Completion completion_;
    AsyncStatus finalStatus_;
    HRESULT errorCode_;
    Result result_;
    std::atomic<AsyncStatus> status_{AsyncStatus::Started};
    std::atomic<bool> completed_{false};
    Handler* handler_ = nullptr;
    HANDLE doneEvent_ = nullptr;  // set by Complete; a watchdog waits on it
};

using FakeTaskOperation =
    FakeOperation<IAsyncOperationStartupTask, IAsyncOperationCompletedHandlerStartupTask, IStartupTask*>;
using FakeStateOperation =
    FakeOperation<IAsyncOperationStartupTaskState, IAsyncOperationCompletedHandlerStartupTaskState, StartupTaskState>;

// A task whose answers come from g_fakeRuntime.
IStartupTask* NewFakeTask();
// A factory whose answers come from g_fakeRuntime.
IStartupTaskStatics* NewFakeStatics();
