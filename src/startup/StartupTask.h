#pragma once
#include "startup/WinRtStartupInterfaces.h"

// Puts the run-at-startup choice into effect for a packaged run through the package's startup task
// "HoverlatchStartup". Every failure ends quietly.
void ApplyStartupTask(bool enable);

// The building blocks, each a blocking call that keeps dispatching the thread's window messages and
// incoming COM calls while the platform works. Null arguments give E_POINTER; the out value is cleared first.
HRESULT FetchStartupTask(IStartupTaskStatics* statics, IStartupTask** task);
HRESULT RequestStartupTaskEnable(IStartupTask* task, StartupTaskState* state);
HRESULT WaitForAsyncOperation(IAsyncOperationStartupTask* operation, IStartupTask** result);
HRESULT WaitForAsyncOperation(IAsyncOperationStartupTaskState* operation, StartupTaskState* result);
