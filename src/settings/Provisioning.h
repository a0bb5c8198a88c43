#pragma once
#include <string>

void EnsureConfigFile();
bool WriteBuiltInDefaults(const std::wstring& configPath);
void DisableAllCorners(const std::wstring& configPath);
