#pragma once
#include <string>

std::wstring GetStartupShortcutPath();
void SetRunAtStartup(bool enable);
