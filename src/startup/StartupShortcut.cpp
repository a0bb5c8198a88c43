#include "startup/StartupShortcut.h"

std::wstring GetStartupShortcutPath() { return {}; }
void SetRunAtStartup(bool) {}
