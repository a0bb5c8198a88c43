#include "ui/DarkTheme.h"

DarkModeEntryPoints g_darkMode;

void LoadDarkModeEntryPoints() {}
void ApplyWindowTheme(HWND) {}
void OnThemeSettingChange(HWND, LPARAM) {}
void RefreshMenuTheme(HWND) {}
