#pragma once
#include <windows.h>

constexpr UINT WM_APP_SHOWMENU = WM_APP + 20;   // 0x8014: open the tray menu now (posted, or sent by a second start)
constexpr UINT WM_TRAY_CALLBACK = WM_USER + 1;  // 0x0401: the tray icon's callback message

// Registered once at start-up, in this order; an identifier is 0 when its registration failed.
struct RegisteredMessages {
    UINT taskbarCreated = 0;   // "TaskbarCreated"
    UINT loftmoorToggle = 0;   // "WM_LOFTMOOR_TOGGLE"
    UINT tessawellToggle = 0;  // "WM_TESSAWELL_TOGGLE"
    UINT notchlingToggle = 0;  // "WM_NOTCHLING_TOGGLE"
};

extern RegisteredMessages g_messages;

void RegisterProgramMessages();
