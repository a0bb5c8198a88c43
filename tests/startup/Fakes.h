#pragma once
// Stand-ins shared by the startup, ui and app tests: the shell folders, the Windows Runtime's StartupTask.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>
#include <winstring.h>

#include <atomic>
#include <string>

#include "startup/WinRtStartupInterfaces.h"
#include "support/TestSupport.h"

// Every shell folder (AppData, Startup) is one scratch folder: config.ini, the companions, the shortcut.
inline std::wstring g_scratchShellFolder;
struct ScratchAppData {
    PlatformGuard platform;
    ScratchFolder scratch;
    ScratchAppData() {
        g_scratchShellFolder = scratch.path();
        g_platform.shGetFolderPathW = [](HWND, int, HANDLE, DWORD, LPWSTR path) {
            return lstrcpynW(path, g_scratchShellFolder.c_str(), MAX_PATH), S_OK;
        };
    }
    bool Write(const std::wstring& folder, const std::string& bytes) const {
        SHCreateDirectoryExW(nullptr, (scratch / L"quenby\\" + folder).c_str(), nullptr);
        return WriteBytes(scratch / L"quenby\\" + folder + L"\\config.ini", bytes);
    }
    std::string Config() const { return ReadBytes(scratch / L"quenby\\Hoverlatch\\config.ini"); }
};

using TaskHandler = IAsyncOperationCompletedHandlerStartupTask;
using StateHandler = IAsyncOperationCompletedHandlerStartupTaskState;
#define HOVERLATCH_NOT_ASKED(method) HRESULT STDMETHODCALLTYPE method override { return E_NOTIMPL; }

struct FakeRuntime;
inline FakeRuntime* g_fake = nullptr;

// One object plays the factory, the task and both operations behind g_platform's runtime entries while it lives;
// every reference the product takes counts on it, and all must be released by its end. The task lookup completes
// at once, the enable request when its handler is given, unless a click is expected during the wait: then WM_APP
// is posted to that window and only Complete ends the request.
struct FakeRuntime final : IStartupTaskStatics, IStartupTask, IAsyncOperationStartupTask,
                           IAsyncOperationStartupTaskState, IAsyncInfo {
    PlatformGuard guard;
    HRESULT roInitializeResult = S_OK, factoryResult = S_OK, error = S_OK;
    StartupTaskState state = StartupTaskState::Disabled;
    HWND clickDuringEnable = nullptr;
    int roUninitializeCalls = 0, getStateCalls = 0, requestEnableCalls = 0, disableCalls = 0;
    LONG references = 0;
    std::atomic<bool> completed{false};
    StateHandler* stateHandler = nullptr;

    FakeRuntime() {
        g_fake = this;
        g_platform.roInitialize = [](int) { return g_fake->roInitializeResult; };
        g_platform.roUninitialize = [] { ++g_fake->roUninitializeCalls; };
        g_platform.roGetActivationFactory = [](HSTRING classId, REFIID iid, void** factory) -> HRESULT {
            *factory = nullptr;
            if (FAILED(g_fake->factoryResult)) return g_fake->factoryResult;
            const wchar_t* name = WindowsGetStringRawBuffer(classId, nullptr);
            const bool ok = !lstrcmpW(name, L"Windows.ApplicationModel.StartupTask") && iid == IID_IStartupTaskStatics;
            return ok ? g_fake->Hand(reinterpret_cast<IStartupTaskStatics**>(factory)) : REGDB_E_CLASSNOTREG;
        };
    }
    ~FakeRuntime() { EXPECT_EQ(references, 0) << "factory, task or operation not released"; }
    void Complete() {
        if (completed.exchange(true) || !stateHandler) return;
        stateHandler->Invoke(this, AsyncStatus::Completed);
        stateHandler->Release();
    }
    template <class Interface>
    HRESULT Hand(Interface** out) { return *out = this, AddRef(), S_OK; }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!IsEqualIID(iid, __uuidof(IAsyncInfo))) return *object = nullptr, E_NOINTERFACE;
        return Hand(reinterpret_cast<IAsyncInfo**>(object));
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references)); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(InterlockedDecrement(&references)); }
    HOVERLATCH_NOT_ASKED(GetIids(ULONG*, IID**)) HOVERLATCH_NOT_ASKED(GetRuntimeClassName(HSTRING*))
    HOVERLATCH_NOT_ASKED(GetTrustLevel(TrustLevel*)) HOVERLATCH_NOT_ASKED(GetForCurrentPackageAsync(IInspectable**))
    HOVERLATCH_NOT_ASKED(get_TaskId(HSTRING*)) HOVERLATCH_NOT_ASKED(get_Id(UINT32*)) HOVERLATCH_NOT_ASKED(Cancel())
    HOVERLATCH_NOT_ASKED(get_Completed(TaskHandler**)) HOVERLATCH_NOT_ASKED(get_Completed(StateHandler**))
    HOVERLATCH_NOT_ASKED(Close())
    // Knows only the task "HoverlatchStartup"; any other id ends with ERROR_NOT_FOUND, as the platform's does.
    HRESULT STDMETHODCALLTYPE GetAsync(HSTRING id, IAsyncOperationStartupTask** operation) override {
        const bool known = !lstrcmpW(WindowsGetStringRawBuffer(id, nullptr), L"HoverlatchStartup");
        return error = known ? S_OK : HRESULT_FROM_WIN32(ERROR_NOT_FOUND), Hand(operation);
    }
    HRESULT STDMETHODCALLTYPE RequestEnableAsync(IAsyncOperationStartupTaskState** operation) override {
        return ++requestEnableCalls, completed = false, Hand(operation);
    }
    HRESULT STDMETHODCALLTYPE Disable() override { return ++disableCalls, S_OK; }
    HRESULT STDMETHODCALLTYPE get_State(StartupTaskState* to) override { return ++getStateCalls, *to = state, S_OK; }
    HRESULT STDMETHODCALLTYPE put_Completed(TaskHandler* handler) override {
        return handler->Invoke(this, error == S_OK ? AsyncStatus::Completed : AsyncStatus::Error), S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_Completed(StateHandler* handler) override {
        (stateHandler = handler)->AddRef();
        return clickDuringEnable ? void(PostMessageW(clickDuringEnable, WM_APP, 0, 0)) : Complete(), S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetResults(IStartupTask** task) override { return Hand(task); }
    HRESULT STDMETHODCALLTYPE GetResults(StartupTaskState* granted) override { return *granted = state, S_OK; }
    // Asked only once the operation has ended.
    HRESULT STDMETHODCALLTYPE get_Status(AsyncStatus* value) override {
        return *value = error == S_OK ? AsyncStatus::Completed : AsyncStatus::Error, S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_ErrorCode(HRESULT* value) override { return *value = error, S_OK; }
};
