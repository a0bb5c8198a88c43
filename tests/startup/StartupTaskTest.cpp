#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <roapi.h>

#include <thread>
#include <vector>

#include "FakeRuntime.h"
#include "startup/StartupTask.h"
#include "support/TestSupport.h"

namespace {

constexpr HRESULT kNotFound = HRESULT_FROM_WIN32(ERROR_NOT_FOUND);   // what a missing task id ends with
constexpr HRESULT kCancelled = HRESULT_FROM_WIN32(ERROR_CANCELLED);
constexpr int kSpareEvents = 64;  // new handles made after a wait gave up, to take over freed handle values

// Fake runtime in g_platform for one test; helper threads are joined before the record is restored.
struct FakeRuntimeScope {
    PlatformGuard platform;
    FakeRuntimeScope() { InstallFakeRuntime(); }
    ~FakeRuntimeScope() { JoinFakeThreads(); }
};

const char* NameOf(StartupTaskState state) {
    switch (state) {
    case StartupTaskState::Disabled: return "Disabled";
    case StartupTaskState::DisabledByUser: return "DisabledByUser";
    case StartupTaskState::Enabled: return "Enabled";
    case StartupTaskState::DisabledByPolicy: return "DisabledByPolicy";
    case StartupTaskState::EnabledByPolicy: return "EnabledByPolicy";
    }
    return "?";
}

const char* NameOf(Completion completion) {
    switch (completion) {
    case Completion::Synchronous: return "synchronous";
    case Completion::Posted: return "posted message";
    case Completion::FromThread: return "other thread";
    case Completion::Never: return "never";
    }
    return "?";
}

enum class Apartment { None, Single, Multi };

const char* NameOf(Apartment apartment) {
    switch (apartment) {
    case Apartment::None: return "no apartment";
    case Apartment::Single: return "single-threaded apartment";
    case Apartment::Multi: return "multithreaded apartment";
    }
    return "?";
}

// Runs work on a fresh thread that is in the given apartment for the duration.
template <class Work>
void RunOnThread(Apartment apartment, Work work) {
    std::thread thread([&] {
        HRESULT init = S_FALSE;
        if (apartment == Apartment::Single) init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        if (apartment == Apartment::Multi) init = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        work();
        if (apartment != Apartment::None && SUCCEEDED(init)) CoUninitialize();
    });
    thread.join();
}

// ---------------------------------------------------------------------------------------------------
// ApplyStartupTask: which calls the task gets.

TEST(StartupTask, StateAndChoiceDecideTheCalls) {
    struct Case {
        StartupTaskState state;
        bool enable;
        int requests;
        int disables;
    };
    const Case cases[] = {
        {StartupTaskState::Disabled, true, 1, 0},          {StartupTaskState::Disabled, false, 0, 0},
        {StartupTaskState::DisabledByUser, true, 1, 0},    {StartupTaskState::DisabledByUser, false, 0, 0},
        {StartupTaskState::Enabled, true, 0, 0},           {StartupTaskState::Enabled, false, 0, 1},
        {StartupTaskState::DisabledByPolicy, true, 1, 0},  {StartupTaskState::DisabledByPolicy, false, 0, 0},
        {StartupTaskState::EnabledByPolicy, true, 0, 0},   {StartupTaskState::EnabledByPolicy, false, 0, 0},
    };
    for (Completion completion : {Completion::Synchronous, Completion::Posted, Completion::FromThread}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << NameOf(c.state) << (c.enable ? " enable" : " disable") << ", "
                                            << NameOf(completion));
            {
                FakeRuntimeScope scope;
                g_fakeRuntime.completion = completion;
                g_fakeRuntime.state = c.state;
                g_fakeRuntime.grantedState = StartupTaskState::DisabledByUser;  // a refusal changes nothing here
                ApplyStartupTask(c.enable);

                EXPECT_EQ(g_fakeRuntime.factoryCalls, 1);
                EXPECT_EQ(g_fakeRuntime.factoryClass, L"Windows.ApplicationModel.StartupTask");
                EXPECT_TRUE(g_fakeRuntime.factoryIidMatched);
                EXPECT_EQ(g_fakeRuntime.getAsyncCalls, 1);
                EXPECT_EQ(g_fakeRuntime.taskId, L"HoverlatchStartup");
                EXPECT_EQ(g_fakeRuntime.getStateCalls, 1);
                EXPECT_EQ(g_fakeRuntime.requestEnableCalls, c.requests);
                EXPECT_EQ(g_fakeRuntime.disableCalls, c.disables);
                EXPECT_EQ(g_fakeRuntime.roInitializeCalls, 1);
                EXPECT_EQ(g_fakeRuntime.roUninitializeCalls, 1);
            }
            EXPECT_FALSE(g_watchdogFired.load()) << "a posted completion was not dispatched by the wait";
            EXPECT_EQ(g_fakeObjectsAlive.load(), 0) << "factory, task or operation not released";
        }
    }
}

TEST(StartupTask, UnreadableStateCountsAsDisabled) {
    for (bool enable : {true, false}) {
        SCOPED_TRACE(enable ? "enable" : "disable");
        FakeRuntimeScope scope;
        g_fakeRuntime.state = StartupTaskState::Enabled;
        g_fakeRuntime.getStateResult = E_ACCESSDENIED;
        ApplyStartupTask(enable);
        EXPECT_EQ(g_fakeRuntime.requestEnableCalls, enable ? 1 : 0);
        EXPECT_EQ(g_fakeRuntime.disableCalls, 0);
    }
    EXPECT_EQ(g_fakeObjectsAlive.load(), 0);
}

// Every way the operation can end, under every answer RoInitialize can give: the runtime is left exactly
// as it was found, and nothing the fake handed out is kept.
TEST(StartupTask, RuntimeIsUninitialisedOnlyWhenThisCallInitialisedIt) {
    struct Path {
        const char* name;
        void (*arrange)();
        bool reachesTask;
    };
    const Path paths[] = {
        {"success", [] {}, true},
        {"class name reference fails", [] { g_fakeRuntime.stringReferenceResult = E_OUTOFMEMORY; }, false},
        {"class not registered", [] { g_fakeRuntime.factoryResult = REGDB_E_CLASSNOTREG; }, false},
        {"factory yields nothing", [] { g_fakeRuntime.factoryYieldsNothing = true; }, false},
        {"GetAsync fails", [] { g_fakeRuntime.getAsyncResult = E_ACCESSDENIED; }, false},
        {"GetAsync yields nothing", [] { g_fakeRuntime.getAsyncYieldsNothing = true; }, false},
        {"no such task", [] {
             g_fakeRuntime.fetchStatus = AsyncStatus::Error;
             g_fakeRuntime.fetchError = kNotFound;
         }, false},
        {"fetch yields no task", [] { g_fakeRuntime.fetchYieldsNoTask = true; }, false},
    };
    struct Init {
        HRESULT result;
        int uninitialisations;
    };
    const Init inits[] = {{S_OK, 1}, {S_FALSE, 1}, {RPC_E_CHANGED_MODE, 0}, {E_OUTOFMEMORY, 0}};
    for (const Path& path : paths) {
        for (const Init& init : inits) {
            SCOPED_TRACE(testing::Message() << path.name << ", RoInitialize 0x" << std::hex << init.result);
            {
                FakeRuntimeScope scope;
                g_fakeRuntime.roInitializeResult = init.result;
                g_fakeRuntime.completion = Completion::Posted;
                g_fakeRuntime.state = StartupTaskState::Disabled;
                path.arrange();
                ApplyStartupTask(true);
                EXPECT_EQ(g_fakeRuntime.roInitializeCalls, 1);
                EXPECT_EQ(g_fakeRuntime.roUninitializeCalls, init.uninitialisations);
                // A failed initialisation does not stop the attempt.
                EXPECT_EQ(g_fakeRuntime.getStateCalls, path.reachesTask ? 1 : 0);
                EXPECT_EQ(g_fakeRuntime.requestEnableCalls, path.reachesTask ? 1 : 0);
            }
            EXPECT_EQ(g_fakeObjectsAlive.load(), 0);
            EXPECT_FALSE(g_watchdogFired.load());
        }
    }
}

// ---------------------------------------------------------------------------------------------------
// FetchStartupTask, RequestStartupTaskEnable and WaitForAsyncOperation: results and errors.

TEST(FetchStartupTask, ReturnsTheTaskOrWhyThereIsNone) {
    struct Case {
        const char* name;
        void (*arrange)();
        HRESULT expected;
    };
    const Case cases[] = {
        {"completed", [] {}, S_OK},
        {"GetAsync fails", [] { g_fakeRuntime.getAsyncResult = E_ACCESSDENIED; }, E_ACCESSDENIED},
        {"GetAsync yields no operation", [] { g_fakeRuntime.getAsyncYieldsNothing = true; }, E_FAIL},
        {"task id reference fails", [] { g_fakeRuntime.stringReferenceResult = E_OUTOFMEMORY; }, E_OUTOFMEMORY},
        {"ends with an error", [] {
             g_fakeRuntime.fetchStatus = AsyncStatus::Error;
             g_fakeRuntime.fetchError = kNotFound;
         }, kNotFound},
        {"ends with an error but no error code", [] {
             g_fakeRuntime.fetchStatus = AsyncStatus::Error;
             g_fakeRuntime.fetchError = S_OK;
         }, E_FAIL},
        {"cancelled", [] {
             g_fakeRuntime.fetchStatus = AsyncStatus::Canceled;
             g_fakeRuntime.fetchError = kCancelled;
         }, kCancelled},
    };
    for (Completion completion : {Completion::Synchronous, Completion::Posted, Completion::FromThread}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << c.name << ", " << NameOf(completion));
            {
                FakeRuntimeScope scope;
                g_fakeRuntime.completion = completion;
                g_fakeRuntime.state = StartupTaskState::EnabledByPolicy;
                c.arrange();
                IStartupTaskStatics* statics = NewFakeStatics();
                IStartupTask* task = reinterpret_cast<IStartupTask*>(statics);  // stale value, must be cleared
                EXPECT_EQ(FetchStartupTask(statics, &task), c.expected);
                if (c.expected == S_OK) {
                    ASSERT_NE(task, nullptr);
                    StartupTaskState state = StartupTaskState::Disabled;
                    EXPECT_EQ(task->get_State(&state), S_OK);
                    EXPECT_EQ(state, StartupTaskState::EnabledByPolicy);  // the fake's task came through
                    task->Release();
                } else {
                    EXPECT_EQ(task, nullptr);
                }
                statics->Release();
            }
            EXPECT_EQ(g_fakeObjectsAlive.load(), 0);
            EXPECT_FALSE(g_watchdogFired.load());
        }
    }
}

TEST(RequestStartupTaskEnable, ReturnsTheStateThePlatformGranted) {
    for (StartupTaskState granted : {StartupTaskState::Enabled, StartupTaskState::DisabledByUser,
                                     StartupTaskState::DisabledByPolicy}) {
        for (Completion completion : {Completion::Synchronous, Completion::Posted, Completion::FromThread}) {
            SCOPED_TRACE(testing::Message() << NameOf(granted) << ", " << NameOf(completion));
            {
                FakeRuntimeScope scope;
                g_fakeRuntime.completion = completion;
                g_fakeRuntime.grantedState = granted;
                IStartupTask* task = NewFakeTask();
                StartupTaskState state = StartupTaskState::EnabledByPolicy;
                EXPECT_EQ(RequestStartupTaskEnable(task, &state), S_OK);
                EXPECT_EQ(state, granted);
                EXPECT_EQ(g_fakeRuntime.requestEnableCalls, 1);
                task->Release();
            }
            EXPECT_EQ(g_fakeObjectsAlive.load(), 0);
        }
    }
}

TEST(StartupTaskCalls, NullArgumentsGiveEPointerAndClearTheOutValue) {
    FakeRuntimeScope scope;
    IStartupTaskStatics* statics = NewFakeStatics();
    IStartupTask* task = NewFakeTask();

    IStartupTask* fetched = task;
    EXPECT_EQ(FetchStartupTask(nullptr, &fetched), E_POINTER);
    EXPECT_EQ(fetched, nullptr);
    EXPECT_EQ(FetchStartupTask(statics, nullptr), E_POINTER);
    EXPECT_EQ(g_fakeRuntime.getAsyncCalls, 0);

    StartupTaskState state = StartupTaskState::Enabled;
    EXPECT_EQ(RequestStartupTaskEnable(nullptr, &state), E_POINTER);
    EXPECT_EQ(state, StartupTaskState::Disabled);
    EXPECT_EQ(RequestStartupTaskEnable(task, nullptr), E_POINTER);
    EXPECT_EQ(g_fakeRuntime.requestEnableCalls, 0);

    fetched = task;
    EXPECT_EQ(WaitForAsyncOperation(static_cast<IAsyncOperationStartupTask*>(nullptr), &fetched), E_POINTER);
    EXPECT_EQ(fetched, nullptr);
    state = StartupTaskState::Enabled;
    EXPECT_EQ(WaitForAsyncOperation(static_cast<IAsyncOperationStartupTaskState*>(nullptr), &state), E_POINTER);
    EXPECT_EQ(state, StartupTaskState::Disabled);
    auto* operation = new FakeStateOperation(Completion::Synchronous, AsyncStatus::Completed, S_OK,
                                             StartupTaskState::Enabled);
    EXPECT_EQ(WaitForAsyncOperation(operation, nullptr), E_POINTER);
    EXPECT_EQ(operation->putCompletedCalls, 0);

    operation->Release();
    task->Release();
    statics->Release();
    EXPECT_EQ(g_fakeObjectsAlive.load(), 0);
}

TEST(WaitForAsyncOperation, PassesOnEveryFailureOfTheOperation) {
    struct Case {
        const char* name;
        void (*arrange)(FakeStateOperation*);
        HRESULT expected;
        int resultsRead;
    };
    const Case cases[] = {
        {"put_Completed refused", [](FakeStateOperation* o) { o->putCompletedResult = E_ACCESSDENIED; },
         E_ACCESSDENIED, 0},
        {"no IAsyncInfo", [](FakeStateOperation* o) { o->queryAsyncInfoResult = E_NOINTERFACE; }, E_NOINTERFACE, 0},
        {"status unreadable", [](FakeStateOperation* o) { o->getStatusResult = RPC_E_DISCONNECTED; },
         RPC_E_DISCONNECTED, 0},
        {"results unreadable", [](FakeStateOperation* o) { o->getResultsResult = E_UNEXPECTED; }, E_UNEXPECTED, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto* operation = new FakeStateOperation(Completion::Synchronous, AsyncStatus::Completed, S_OK,
                                                 StartupTaskState::Enabled);
        c.arrange(operation);
        StartupTaskState state = StartupTaskState::EnabledByPolicy;
        EXPECT_EQ(WaitForAsyncOperation(operation, &state), c.expected);
        EXPECT_EQ(state, StartupTaskState::Disabled);
        EXPECT_EQ(operation->getResultsCalls, c.resultsRead);
        operation->Release();
    }
    EXPECT_EQ(g_fakeObjectsAlive.load(), 0);
}

// ---------------------------------------------------------------------------------------------------
// The wait keeps the thread's messages flowing.

constexpr UINT kSentCompletion = WM_APP + 21;
constexpr UINT_PTR kTimerId = 77;
constexpr UINT kTimerMs = 10;
FakeStateOperation* g_completedByWindow = nullptr;  // the operation the test window completes
int g_windowCompletions = 0;

LRESULT CALLBACK CompletingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TIMER:
        KillTimer(window, kTimerId);
        ++g_windowCompletions;
        g_completedByWindow->Complete();
        return 0;
    case kSentCompletion:
        ++g_windowCompletions;
        g_completedByWindow->Complete();
        return 0;
    default: return DefWindowProcW(window, message, wParam, lParam);
    }
}

HWND CreateCompletingWindow() {
    static ATOM atom = [] {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = &CompletingWindowProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"Hoverlatch.Tests.CompletingWindow";
        return RegisterClassW(&windowClass);
    }();
    return CreateWindowExW(0, MAKEINTATOM(atom), L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr),
                           nullptr);
}

enum class Wake { PostedMessage, Timer, SentFromOtherThread };

const char* NameOf(Wake wake) {
    switch (wake) {
    case Wake::PostedMessage: return "posted message";
    case Wake::Timer: return "timer";
    case Wake::SentFromOtherThread: return "message sent from another thread";
    }
    return "?";
}

// The operation is completed only by the thread's own window procedure, so the wait returns only if it
// dispatches that window's messages. A watchdog completes it after a deadline so a failure cannot hang.
TEST(WaitForAsyncOperation, DispatchesWindowMessagesWhileItWaits) {
    for (Apartment apartment : {Apartment::None, Apartment::Single, Apartment::Multi}) {
        for (Wake wake : {Wake::PostedMessage, Wake::Timer, Wake::SentFromOtherThread}) {
            SCOPED_TRACE(testing::Message() << NameOf(wake) << ", " << NameOf(apartment));
            HRESULT waited = E_UNEXPECTED;
            StartupTaskState state = StartupTaskState::Disabled;
            bool byWatchdog = true;
            int windowCompletions = 0;
            {
                FakeRuntimeScope scope;
                RunOnThread(apartment, [&] {
                    Completion completion = wake == Wake::PostedMessage ? Completion::Posted : Completion::Never;
                    auto* operation = new FakeStateOperation(completion, AsyncStatus::Completed, S_OK,
                                                             StartupTaskState::Enabled);
                    g_completedByWindow = operation;
                    g_windowCompletions = 0;
                    HWND window = CreateCompletingWindow();
                    std::thread sender;
                    if (wake == Wake::Timer) SetTimer(window, kTimerId, kTimerMs, nullptr);
                    if (wake == Wake::SentFromOtherThread) {
                        sender = std::thread([window] { SendMessageW(window, kSentCompletion, 0, 0); });
                    }
                    if (wake != Wake::PostedMessage) operation->StartWatchdog();
                    waited = WaitForAsyncOperation(operation, &state);
                    if (sender.joinable()) sender.join();
                    byWatchdog = operation->completedByWatchdog;
                    windowCompletions = g_windowCompletions;
                    DestroyWindow(window);
                    operation->Release();
                });
            }
            EXPECT_EQ(waited, S_OK);
            EXPECT_EQ(state, StartupTaskState::Enabled);
            EXPECT_FALSE(byWatchdog) << "the wait did not dispatch the message that completes the operation";
            if (wake != Wake::PostedMessage) {
                EXPECT_EQ(windowCompletions, 1);
            }
            EXPECT_EQ(g_fakeObjectsAlive.load(), 0);
        }
    }
}

// A WM_QUIT that arrives during the wait belongs to the program's own message loop: it is not lost.
TEST(WaitForAsyncOperation, KeepsAQuitMessageForTheMessageLoop) {
    constexpr int kExitCode = 7;
    MSG quit{};
    bool quitSeen = false;
    HRESULT waited = E_UNEXPECTED;
    {
        FakeRuntimeScope scope;
        RunOnThread(Apartment::Single, [&] {
            PostQuitMessage(kExitCode);
            auto* operation = new FakeStateOperation(Completion::Posted, AsyncStatus::Completed, S_OK,
                                                     StartupTaskState::Enabled);
            StartupTaskState state = StartupTaskState::Disabled;
            waited = WaitForAsyncOperation(operation, &state);
            quitSeen = PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
            operation->Release();
        });
    }
    EXPECT_EQ(waited, S_OK);
    EXPECT_FALSE(g_watchdogFired.load());
    ASSERT_TRUE(quitSeen);
    EXPECT_EQ(quit.wParam, static_cast<WPARAM>(kExitCode));
}

// ---------------------------------------------------------------------------------------------------
// The completion handler.

// How many of the given events are set.
int SignalledCount(const std::vector<HANDLE>& events) {
    int count = 0;
    for (HANDLE event : events) count += WaitForSingleObject(event, 0) == WAIT_OBJECT_0 ? 1 : 0;
    return count;
}

// The wait gives up (the operation offers no IAsyncInfo) after handing its handler over; the operation
// completes afterwards. The handler's event must still be its own: the waiting side's handle is closed
// and its value free for the next object the process creates.
TEST(CompletionEventHandler, CompletionAfterTheWaitGaveUpTouchesNothingFreed) {
    for (bool fromOtherThread : {false, true}) {
        SCOPED_TRACE(fromOtherThread ? "completed from another thread" : "completed on the waiting thread");
        FakeStateOperation::handlersFreed = 0;
        auto* operation = new FakeStateOperation(Completion::Never, AsyncStatus::Completed, S_OK,
                                                 StartupTaskState::Enabled);
        operation->queryAsyncInfoResult = E_NOINTERFACE;
        StartupTaskState state = StartupTaskState::Enabled;
        EXPECT_EQ(WaitForAsyncOperation(operation, &state), E_NOINTERFACE);
        ASSERT_NE(operation->handler(), nullptr);

        std::vector<HANDLE> spare;
        for (int i = 0; i < kSpareEvents; ++i) spare.push_back(CreateEventW(nullptr, TRUE, FALSE, nullptr));

        HRESULT invoked = E_UNEXPECTED;
        if (fromOtherThread) {
            std::thread([&] { invoked = operation->Complete(); }).join();
        } else {
            invoked = operation->Complete();
        }
        EXPECT_EQ(invoked, S_OK);
        EXPECT_EQ(SignalledCount(spare), 0) << "the handler set an event that is not its own";
        for (HANDLE event : spare) CloseHandle(event);

        EXPECT_EQ(FakeStateOperation::handlersFreed.load(), 0);
        operation->Release();  // the operation's reference was the last one
        EXPECT_EQ(FakeStateOperation::handlersFreed.load(), 1);
    }
    EXPECT_EQ(g_fakeObjectsAlive.load(), 0);
}

TEST(CompletionEventHandler, AnswersOnlyForItselfAndIUnknown) {
    auto* operation = new FakeTaskOperation(Completion::Never, AsyncStatus::Completed, S_OK, nullptr);
    operation->queryAsyncInfoResult = E_NOINTERFACE;  // the wait ends at once and leaves the handler here
    IStartupTask* task = nullptr;
    EXPECT_EQ(WaitForAsyncOperation(operation, &task), E_NOINTERFACE);
    IAsyncOperationCompletedHandlerStartupTask* handler = operation->handler();
    ASSERT_NE(handler, nullptr);

    const IID kAgileObject = {0x94ea2b94, 0xe9cc, 0x49e0, {0xc0, 0xff, 0xee, 0x64, 0xca, 0x8f, 0x5b, 0x90}};
    struct Case {
        const char* name;
        const IID* iid;
        HRESULT expected;
    };
    const Case cases[] = {
        {"IUnknown", &IID_IUnknown, S_OK},
        {"its handler interface", &IID_IAsyncOperationCompletedHandlerStartupTask, S_OK},
        {"the other handler interface", &IID_IAsyncOperationCompletedHandlerStartupTaskState, E_NOINTERFACE},
        {"IInspectable", &__uuidof(IInspectable), E_NOINTERFACE},
        {"IAgileObject", &kAgileObject, E_NOINTERFACE},
        {"IAsyncOperation", &IID_IAsyncOperationStartupTask, E_NOINTERFACE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        void* object = reinterpret_cast<void*>(operation);  // stale value
        EXPECT_EQ(handler->QueryInterface(*c.iid, &object), c.expected);
        if (c.expected == S_OK) {
            EXPECT_EQ(object, static_cast<void*>(handler));
            static_cast<IUnknown*>(object)->Release();
        } else {
            EXPECT_EQ(object, nullptr);
        }
    }
    EXPECT_EQ(handler->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
    operation->Release();
    EXPECT_EQ(g_fakeObjectsAlive.load(), 0);
}

// ---------------------------------------------------------------------------------------------------
// The real runtime of this system.

HRESULT g_realFactoryResult = S_OK;
int g_realFactoryCalls = 0;
HRESULT (WINAPI* g_realGetActivationFactory)(HSTRING, REFIID, void**) = nullptr;

HRESULT WINAPI ObservedRoGetActivationFactory(HSTRING className, REFIID iid, void** factory) {
    ++g_realFactoryCalls;
    g_realFactoryResult = g_realGetActivationFactory(className, iid, factory);
    return g_realFactoryResult;
}

// Wine registers no StartupTask class: both choices end quietly, and the thread leaves the call in the
// apartment it came in with.
TEST(StartupTask, EndsQuietlyWhereTheRuntimeHasNoStartupTask) {
    for (Apartment apartment : {Apartment::None, Apartment::Single, Apartment::Multi}) {
        for (bool enable : {true, false}) {
            SCOPED_TRACE(testing::Message() << NameOf(apartment) << (enable ? ", enable" : ", disable"));
            PlatformGuard guard;
            g_platform = RealPlatform();
            g_realGetActivationFactory = g_platform.roGetActivationFactory;
            g_platform.roGetActivationFactory = &ObservedRoGetActivationFactory;
            g_realFactoryCalls = 0;
            HRESULT before = E_UNEXPECTED, after = E_UNEXPECTED;
            APTTYPE typeBefore{}, typeAfter{};
            RunOnThread(apartment, [&] {
                APTTYPEQUALIFIER qualifier{};
                before = CoGetApartmentType(&typeBefore, &qualifier);
                ApplyStartupTask(enable);
                after = CoGetApartmentType(&typeAfter, &qualifier);
            });
            EXPECT_EQ(g_realFactoryCalls, 1);
            EXPECT_TRUE(FAILED(g_realFactoryResult)) << std::hex << g_realFactoryResult;
            EXPECT_EQ(after, before);
            if (SUCCEEDED(before)) {
                EXPECT_EQ(typeAfter, typeBefore);
            }
        }
    }
}

}  // namespace
