#pragma once
// The Windows Runtime's startup-task interfaces, declared from their published binary layout: mingw-w64
// ships no Windows.ApplicationModel header. Only IAsyncInfo and AsyncStatus come from mingw's own
// <asyncinfo.h>. Method order is the vtable order and must not change; every interface starts with
// IInspectable's six slots (IUnknown's three, then GetIids, GetRuntimeClassName, GetTrustLevel), except the
// completion handlers, which are delegates and derive from IUnknown alone.
#include <windows.h>

#include <asyncinfo.h>
#include <cstdint>
#include <hstring.h>
#include <inspectable.h>

// Windows.ApplicationModel.StartupTaskState, a 32-bit enumeration.
enum class StartupTaskState : int32_t {
    Disabled = 0,
    DisabledByUser = 1,
    Enabled = 2,
    DisabledByPolicy = 3,
    EnabledByPolicy = 4,
};

struct IStartupTask;
struct IAsyncOperationStartupTask;
struct IAsyncOperationStartupTaskState;

// IAsyncOperationCompletedHandler<StartupTask>.
struct IAsyncOperationCompletedHandlerStartupTask : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Invoke(IAsyncOperationStartupTask* operation, AsyncStatus status) = 0;  // 3
};

// IAsyncOperationCompletedHandler<StartupTaskState>.
struct IAsyncOperationCompletedHandlerStartupTaskState : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Invoke(IAsyncOperationStartupTaskState* operation, AsyncStatus status) = 0;  // 3
};

// IAsyncOperation<StartupTask>: the result of a runtime class is its default interface.
struct IAsyncOperationStartupTask : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE put_Completed(IAsyncOperationCompletedHandlerStartupTask* handler) = 0;     // 6
    virtual HRESULT STDMETHODCALLTYPE get_Completed(IAsyncOperationCompletedHandlerStartupTask** handler) = 0;    // 7
    virtual HRESULT STDMETHODCALLTYPE GetResults(IStartupTask** results) = 0;                                     // 8
};

// IAsyncOperation<StartupTaskState>.
struct IAsyncOperationStartupTaskState : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE put_Completed(IAsyncOperationCompletedHandlerStartupTaskState* handler) = 0;   // 6
    virtual HRESULT STDMETHODCALLTYPE get_Completed(IAsyncOperationCompletedHandlerStartupTaskState** handler) = 0;  // 7
    virtual HRESULT STDMETHODCALLTYPE GetResults(StartupTaskState* results) = 0;                                    // 8
};

// Windows.ApplicationModel.IStartupTask, the default interface of StartupTask.
struct IStartupTask : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE RequestEnableAsync(IAsyncOperationStartupTaskState** operation) = 0;  // 6
    virtual HRESULT STDMETHODCALLTYPE Disable() = 0;                                                        // 7
    virtual HRESULT STDMETHODCALLTYPE get_State(StartupTaskState* value) = 0;                               // 8
    virtual HRESULT STDMETHODCALLTYPE get_TaskId(HSTRING* value) = 0;                                       // 9
};

// Windows.ApplicationModel.IStartupTaskStatics, the activation factory of StartupTask.
struct IStartupTaskStatics : IInspectable {
    // Yields IAsyncOperation<IVectorView<StartupTask>>; never called here, declared for the slot only.
    virtual HRESULT STDMETHODCALLTYPE GetForCurrentPackageAsync(IInspectable** operation) = 0;         // 6
    virtual HRESULT STDMETHODCALLTYPE GetAsync(HSTRING taskId, IAsyncOperationStartupTask** operation) = 0;  // 7
};

// Published identifiers. The parameterised ones are the platform's: UUID version 5 over the namespace
// 11f47ad5-7b73-42c0-abae-878b1e16adee and the type signature, e.g. for IAsyncOperation<StartupTask>
// pinterface({9fc2b0bb-e446-44e2-aa61-9cab8f636af2};rc(Windows.ApplicationModel.StartupTask;{f75c23c8-...})).
inline constexpr IID IID_IStartupTaskStatics = {
    0xee5b60bd, 0xa148, 0x41a7, {0xb2, 0x6e, 0xe8, 0xb8, 0x8a, 0x1e, 0x62, 0xf8}};
inline constexpr IID IID_IStartupTask = {
    0xf75c23c8, 0xb5f2, 0x4f6c, {0x88, 0xdd, 0x36, 0xcb, 0x1d, 0x59, 0x9d, 0x17}};
inline constexpr IID IID_IAsyncOperationStartupTask = {
    0xcbec7a4e, 0xa046, 0x5330, {0x87, 0x3d, 0x0f, 0xce, 0x22, 0x87, 0x92, 0xfa}};
inline constexpr IID IID_IAsyncOperationStartupTaskState = {
    0x5239a934, 0x80e2, 0x518f, {0xb8, 0x19, 0x1f, 0x31, 0x6f, 0x37, 0x9a, 0x3f}};
inline constexpr IID IID_IAsyncOperationCompletedHandlerStartupTask = {
    0x741f7697, 0x2452, 0x5c80, {0x83, 0xc6, 0x3b, 0x6f, 0x82, 0x2b, 0x90, 0x4c}};
inline constexpr IID IID_IAsyncOperationCompletedHandlerStartupTaskState = {
    0x70a0bf67, 0x19e8, 0x5a86, {0xa3, 0x2e, 0x3c, 0x98, 0x63, 0x82, 0x5a, 0x04}};
