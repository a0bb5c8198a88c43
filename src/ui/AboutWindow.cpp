#include "ui/AboutWindow.h"

void ShowAboutWindow(HWND) {}
LRESULT CALLBACK AboutWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}
std::wstring QueryVersionString(const void*, const wchar_t*) { return {}; }
std::wstring BuildAuthorLinkMarkup(const std::wstring& text) { return text; }
HFONT CreateUiFont(int, int, bool) { return nullptr; }
HWND CurrentAboutWindow() { return nullptr; }
