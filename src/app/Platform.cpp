#include "app/Platform.h"

#include <dwmapi.h>
#include <roapi.h>
#include <shlobj.h>
#include <winstring.h>

namespace {

// APPMODEL_ERROR_NO_PACKAGE: what an unpackaged process hears, and what we answer when the
// export is missing (systems before Windows 8).
constexpr LONG kNoPackage = 15700;

using GetCurrentPackageFullNameFn = LONG(WINAPI*)(UINT32*, PWSTR);

LONG WINAPI NoPackageFullName(UINT32*, PWSTR) { return kNoPackage; }

// mingw-w64 does not declare GetCurrentPackageFullName, so it is looked up in kernel32 at run time.
GetCurrentPackageFullNameFn ResolveGetCurrentPackageFullName() {
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    FARPROC proc = kernel ? GetProcAddress(kernel, "GetCurrentPackageFullName") : nullptr;
    if (!proc) return &NoPackageFullName;
    return reinterpret_cast<GetCurrentPackageFullNameFn>(reinterpret_cast<void*>(proc));
}

HRESULT WINAPI RoInitializeShim(int type) { return RoInitialize(static_cast<RO_INIT_TYPE>(type)); }

}  // namespace

Platform RealPlatform() {
    Platform p{};
    p.getCursorPos = &GetCursorPos;
    p.getAsyncKeyState = &GetAsyncKeyState;
    p.monitorFromPoint = &MonitorFromPoint;
    p.getMonitorInfoW = &GetMonitorInfoW;
    p.getDpiForMonitor = &GetDpiForMonitor;
    p.getTickCount = &GetTickCount;
    p.sendInput = &SendInput;
    p.findWindowW = &FindWindowW;
    p.postMessageW = &PostMessageW;
    p.shellExecuteExW = &ShellExecuteExW;
    p.shGetFolderPathW = &SHGetFolderPathW;
    p.getEnvironmentVariableW = &GetEnvironmentVariableW;
    p.getModuleFileNameW = &GetModuleFileNameW;
    p.getCurrentPackageFullName = ResolveGetCurrentPackageFullName();
    p.getUserDefaultUILanguage = &GetUserDefaultUILanguage;
    p.regGetValueW = &RegGetValueW;
    p.dwmSetWindowAttribute = &DwmSetWindowAttribute;
    p.roInitialize = &RoInitializeShim;
    p.roUninitialize = &RoUninitialize;
    p.roGetActivationFactory = &RoGetActivationFactory;
    p.windowsCreateStringReference = &WindowsCreateStringReference;
    p.createPopupMenu = &CreatePopupMenu;
    p.trackPopupMenuEx = &TrackPopupMenuEx;
    p.setThreadPreferredUILanguages = &SetThreadPreferredUILanguages;
    p.shellNotifyIconW = &Shell_NotifyIconW;
    p.shellExecuteW = &ShellExecuteW;
    return p;
}

Platform g_platform = RealPlatform();
