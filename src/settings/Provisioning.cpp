#include "settings/Provisioning.h"

void EnsureConfigFile() {}
bool WriteBuiltInDefaults(const std::wstring&) { return false; }
void DisableAllCorners(const std::wstring&) {}
