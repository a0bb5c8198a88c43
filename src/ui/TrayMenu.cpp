#include "ui/TrayMenu.h"

void ShowTrayMenu(HWND) {}
bool AppendCornerSubmenu(HMENU, UiLanguage, Corner, const wchar_t*, bool, bool, bool) { return false; }
void HandleMenuCommand(HWND, WORD) {}
