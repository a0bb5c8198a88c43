#pragma once
#include <windows.h>

#include <string>

void ShowAboutWindow(HWND owner);
LRESULT CALLBACK AboutWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
std::wstring QueryVersionString(const void* versionBlock, const wchar_t* key);
std::wstring BuildAuthorLinkMarkup(const std::wstring& text);
HFONT CreateUiFont(int height, int weight, bool italic);
// The About window now open, or null.
HWND CurrentAboutWindow();
