#pragma once
#include <windows.h>

// Optional uxtheme entry points, known only by ordinal; each may be null.
struct DarkModeEntryPoints {
    HMODULE module = nullptr;
    void (WINAPI* colorPolicyRefresh)() = nullptr;     // ordinal 104
    BOOL (WINAPI* systemPrefersDark)() = nullptr;      // ordinal 132
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
