#pragma once
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <shellscalingapi.h>
#include <hstring.h>

// Every Win32 call whose answer a test must control goes through this one record. It starts out
// pointing at the real API; tests swap single entries and count the calls.
struct Platform {
    // Corner poll and dispatch.
    BOOL (WINAPI* getCursorPos)(POINT*);
    SHORT (WINAPI* getAsyncKeyState)(int);
    HMONITOR (WINAPI* monitorFromPoint)(POINT, DWORD);
    BOOL (WINAPI* getMonitorInfoW)(HMONITOR, MONITORINFO*);
    HRESULT (WINAPI* getDpiForMonitor)(HMONITOR, MONITOR_DPI_TYPE, UINT*, UINT*);
    DWORD (WINAPI* getTickCount)();
    UINT (WINAPI* sendInput)(UINT, INPUT*, int);
    HWND (WINAPI* findWindowW)(LPCWSTR, LPCWSTR);
    BOOL (WINAPI* postMessageW)(HWND, UINT, WPARAM, LPARAM);
    BOOL (WINAPI* shellExecuteExW)(SHELLEXECUTEINFOW*);

    // Paths, run kind and language.
    HRESULT (WINAPI* shGetFolderPathW)(HWND, int, HANDLE, DWORD, LPWSTR);
    DWORD (WINAPI* getEnvironmentVariableW)(LPCWSTR, LPWSTR, DWORD);
    DWORD (WINAPI* getModuleFileNameW)(HMODULE, LPWSTR, DWORD);
    LONG (WINAPI* getCurrentPackageFullName)(UINT32*, PWSTR);
    LANGID (WINAPI* getUserDefaultUILanguage)();

    // Atomic save: tests make the flush fail and see when it runs relative to the replacing move.
    BOOL (WINAPI* flushFileBuffers)(HANDLE);

    // Theme.
    LSTATUS (WINAPI* regGetValueW)(HKEY, LPCWSTR, LPCWSTR, DWORD, LPDWORD, PVOID, LPDWORD);

    // Entries below come from DLLs that are not KnownDLLs. They are loaded from System32 on first use,
    // never imported: Windows would look for an imported one beside the executable first, where a
    // download folder may hold a planted copy. A missing DLL or export answers as a failed call.
    HRESULT (WINAPI* dwmSetWindowAttribute)(HWND, DWORD, LPCVOID, DWORD);                    // dwmapi
    BOOL (WINAPI* wtsRegisterSessionNotification)(HWND, DWORD);                             // wtsapi32
    BOOL (WINAPI* wtsUnRegisterSessionNotification)(HWND);                                  // wtsapi32
    DWORD (WINAPI* getFileVersionInfoSizeW)(LPCWSTR, LPDWORD);                              // version
    BOOL (WINAPI* getFileVersionInfoW)(LPCWSTR, DWORD, DWORD, LPVOID);                      // version
    BOOL (WINAPI* verQueryValueW)(LPCVOID, LPCWSTR, LPVOID*, PUINT);                        // version
    BOOL (WINAPI* initCommonControlsEx)(const INITCOMMONCONTROLSEX*);                       // comctl32

    // Windows Runtime (packaged startup task).
    HRESULT (WINAPI* roInitialize)(int);
    void (WINAPI* roUninitialize)();
    HRESULT (WINAPI* roGetActivationFactory)(HSTRING, REFIID, void**);
    HRESULT (WINAPI* windowsCreateStringReference)(PCWSTR, UINT32, HSTRING_HEADER*, HSTRING*);

    // Tray menu: tests record every menu built and answer the modal tracking themselves.
    HMENU (WINAPI* createPopupMenu)();
    BOOL (WINAPI* trackPopupMenuEx)(HMENU, UINT, int, int, HWND, LPTPMPARAMS);

    // Interface language of the user-interface thread: tests see the list handed over (Wine ignores it).
    BOOL (WINAPI* setThreadPreferredUILanguages)(DWORD, PCZZWSTR, PULONG);

    // Tray icon: tests see every add, version and delete, and can make the shell refuse an add.
    BOOL (WINAPI* shellNotifyIconW)(DWORD, PNOTIFYICONDATAW);

    // About window: tests see the author page being opened instead of a browser starting.
    HINSTANCE (WINAPI* shellExecuteW)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);
};

extern Platform g_platform;

// A system DLL from System32 only, whatever lies beside the executable; null when it is missing.
HMODULE LoadSystemDll(const wchar_t* name);

// The record as it is at process start: every entry the real API.
Platform RealPlatform();
