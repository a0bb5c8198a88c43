#include "settings/SettingsStore.h"

void LoadSettings(bool) {}
void MigrateLegacyCorners(IniDocument&) {}
LegacyCornerMask ParseLegacyCorners(const wchar_t*) { return 0; }
void EnsureLanguageKey() {}
void StoreSetting(const wchar_t*, const wchar_t*, const wchar_t*) {}
