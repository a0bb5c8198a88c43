#include "platform/Platform.h"

#include <dwmapi.h>
#include <roapi.h>
#include <shlobj.h>
#include <winstring.h>
#include <wtsapi32.h>

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

// The export `name` of a System32 DLL as `Function`, or null.
template <class Function>
Function SystemEntryPoint(const wchar_t* dll, const char* name) {
    HMODULE module = LoadSystemDll(dll);
    FARPROC proc = module ? GetProcAddress(module, name) : nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(proc));
}

// Each forwarder fetches its entry point once, on first use (after start-up has restricted the DLL search),
// and answers like a failed call when the DLL or the export is missing.
#define HOVERLATCH_SYSTEM_FORWARDER(Name, Dll, Failure, Params, Args)                           \
    auto WINAPI Name##FromSystem Params->decltype(::Name Args) {                                 \
        static const auto real = SystemEntryPoint<decltype(&::Name)>(Dll, #Name);               \
        return real ? real Args : Failure;                                                       \
    }

HOVERLATCH_SYSTEM_FORWARDER(DwmSetWindowAttribute, L"dwmapi.dll", E_NOTIMPL,
                            (HWND window, DWORD attribute, LPCVOID value, DWORD size), (window, attribute, value, size))
HOVERLATCH_SYSTEM_FORWARDER(WTSRegisterSessionNotification, L"wtsapi32.dll", FALSE, (HWND window, DWORD flags),
                            (window, flags))
HOVERLATCH_SYSTEM_FORWARDER(WTSUnRegisterSessionNotification, L"wtsapi32.dll", FALSE, (HWND window), (window))
HOVERLATCH_SYSTEM_FORWARDER(GetFileVersionInfoSizeW, L"version.dll", 0, (LPCWSTR path, LPDWORD handle),
                            (path, handle))
HOVERLATCH_SYSTEM_FORWARDER(GetFileVersionInfoW, L"version.dll", FALSE,
                            (LPCWSTR path, DWORD handle, DWORD size, LPVOID data), (path, handle, size, data))
HOVERLATCH_SYSTEM_FORWARDER(VerQueryValueW, L"version.dll", FALSE,
                            (LPCVOID block, LPCWSTR subBlock, LPVOID* value, PUINT length),
                            (block, subBlock, value, length))
HOVERLATCH_SYSTEM_FORWARDER(InitCommonControlsEx, L"comctl32.dll", FALSE, (const INITCOMMONCONTROLSEX* controls),
                            (controls))
#undef HOVERLATCH_SYSTEM_FORWARDER

HRESULT WINAPI RoInitializeShim(int type) { return RoInitialize(static_cast<RO_INIT_TYPE>(type)); }

}  // namespace

HMODULE LoadSystemDll(const wchar_t* name) {
    return LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

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
    p.flushFileBuffers = &FlushFileBuffers;
    p.regGetValueW = &RegGetValueW;
    p.dwmSetWindowAttribute = &DwmSetWindowAttributeFromSystem;
    p.wtsRegisterSessionNotification = &WTSRegisterSessionNotificationFromSystem;
    p.wtsUnRegisterSessionNotification = &WTSUnRegisterSessionNotificationFromSystem;
    p.getFileVersionInfoSizeW = &GetFileVersionInfoSizeWFromSystem;
    p.getFileVersionInfoW = &GetFileVersionInfoWFromSystem;
    p.verQueryValueW = &VerQueryValueWFromSystem;
    p.initCommonControlsEx = &InitCommonControlsExFromSystem;
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
