#include "app/Shell.h"

#include <wtsapi32.h>

#include "app/MainWindow.h"
#include "app/TrayIcon.h"
#include "platform/Handles.h"
#include "platform/Messages.h"
#include "platform/Platform.h"
#include "settings/Provisioning.h"
#include "settings/SettingsStore.h"
#include "ui/DarkTheme.h"

namespace {

// No Global\ or Local\ prefix: the name lives in the session's namespace, one instance per logon session.
constexpr wchar_t kSingleInstanceMutex[] = L"Hoverlatch_SingleInstance";
constexpr UINT kHandOffTimeoutMs = 3000;  // a second start waits at most this long for the running one

// A second start asks the running instance to open its menu. SMTO_ABORTIFHUNG returns at once when
// that instance is hung, so the second start always ends promptly.
void HandOffToRunningInstance() {
    HWND running = g_platform.findWindowW(kMainWindowClass, kMainWindowTitle);
    if (!running) running = g_platform.findWindowW(kMainWindowClass, nullptr);
    if (!running) return;  // the first instance holds the mutex but has no window yet
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(running, WM_APP_SHOWMENU, 0, 0, SMTO_ABORTIFHUNG, kHandOffTimeoutMs, &ignored);
}

int RunMessageLoop() {
    MSG message;
    // GetMessageW answers -1 on failure; ending the loop then beats spinning on the error.
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}

}  // namespace

int RunHoverlatch(HINSTANCE instance) {
    // The manifest asks for the same awareness; the call only covers a missing manifest.
    SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    LoadDarkModeEntryPoints();

    HANDLE mutexHandle = CreateMutexW(nullptr, TRUE, kSingleInstanceMutex);
    DWORD mutexError = GetLastError();
    UniqueHandle mutex(mutexHandle);
    // Any other failure to create the mutex lets this process run as the only instance.
    if (mutexError == ERROR_ALREADY_EXISTS) {
        HandOffToRunningInstance();
        return 0;
    }

    EnsureConfigFile();
    LoadSettings(true);
    EnsureLanguageKey();

    if (!RegisterMainWindowClass(instance)) return 1;
    HWND window = CreateMainWindow(instance);
    if (!window) return 1;
    ApplyWindowTheme(window);
    ShowWindow(window, SW_HIDE);
    g_platform.wtsRegisterSessionNotification(window, NOTIFY_FOR_THIS_SESSION);  // without it session changes go unseen
    RegisterProgramMessages();

    InitTrayIcon(window, instance);
    AddTrayIcon();
    // The menu must be able to take the foreground when the shell hands over the click.
    AllowSetForegroundWindow(ASFW_ANY);
    SetTimer(window, kCornerPollTimerId, kCornerPollPeriodMs, nullptr);
    return RunMessageLoop();
}
