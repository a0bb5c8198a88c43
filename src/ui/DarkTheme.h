#pragma once
#include <windows.h>

// Optional uxtheme entry points, known only by ordinal; each may be null.
struct DarkModeEntryPoints {
    HMODULE module = nullptr;
    void (WINAPI* colorPolicyRefresh)() = nullptr;     // ordinal 104
    BOOL (WINAPI* systemPrefersDark)() = nullptr;      // ordinal 132; a bool: read its low byte only
    BOOL (WINAPI* windowDarkAllow)(HWND, BOOL) = nullptr;  // ordinal 133
    int (WINAPI* appModeSet)(int) = nullptr;           // ordinal 135
    void (WINAPI* menuThemeFlush)() = nullptr;         // ordinal 136
};

extern DarkModeEntryPoints g_darkMode;

void LoadDarkModeEntryPoints();
void ApplyWindowTheme(HWND window);
// WM_SETTINGCHANGE: refresh the colour policy for "ImmersiveColorSet", then re-apply the theme.
void OnThemeSettingChange(HWND window, LPARAM lParam);
// Just before a menu is tracked.
void RefreshMenuTheme(HWND owner);

// The pieces of LoadDarkModeEntryPoints, apart so that tests can feed them.
//
// Fetches the five ordinals in the order 104, 132, 133, 135, 136. `cached` is the module loaded
// earlier, if any; while the module is null, `load` is tried again before each fetch.
using ThemeModuleLoader = HMODULE (*)();
using ThemeOrdinalFetcher = FARPROC (*)(HMODULE module, WORD ordinal);
DarkModeEntryPoints FetchDarkModeEntryPoints(HMODULE cached, ThemeModuleLoader load, ThemeOrdinalFetcher fetch);
// The entry points are trusted only as a set: without 132 and 135 the numbers may belong to
// unrelated exports (104 does on Wine), so all five are dropped. The module handle is kept.
DarkModeEntryPoints TrustedDarkModeEntryPoints(const DarkModeEntryPoints& fetched);
// Stores the trusted set in g_darkMode, then calls 104 and 135 (with 1), each if present.
void ActivateDarkModeEntryPoints(const DarkModeEntryPoints& fetched);
