#pragma once
#include <windows.h>

#include "settings/Settings.h"
#include "ui/Language.h"

constexpr WORD IDM_EXIT = 1001;
constexpr WORD IDM_ABOUT = 1002;
constexpr WORD IDM_RUN_AT_STARTUP = 1003;
constexpr WORD IDM_ZONE_FIRST = 1020;
constexpr WORD IDM_DWELL_FIRST = 1030;
constexpr WORD IDM_CORNER_FIRST = 1100;

void ShowTrayMenu(HWND owner);
bool AppendCornerSubmenu(HMENU parent, UiLanguage language, Corner corner, const wchar_t* cornerName,
                         bool loftmoorInstalled, bool notchlingInstalled, bool captureAvailable);
void HandleMenuCommand(HWND mainWindow, WORD identifier);
