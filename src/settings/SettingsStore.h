#pragma once
#include <cstdint>

#include "storage/IniDocument.h"

// Bit 2^v for the corner of value v: BottomRight 1, BottomLeft 2, TopRight 4, TopLeft 8.
using LegacyCornerMask = uint8_t;

void LoadSettings(bool applyRunAtStartup);
void MigrateLegacyCorners(IniDocument& document);
LegacyCornerMask ParseLegacyCorners(const wchar_t* text);
void EnsureLanguageKey();
void StoreSetting(const wchar_t* section, const wchar_t* key, const wchar_t* text);
