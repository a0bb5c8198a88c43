#pragma once
#include <cstdint>

#include "settings/Settings.h"

enum class UiLanguage : int32_t {
    Japanese = 0,
    English = 1,
    Korean = 2,
    ChineseSimplified = 3,
    ChineseTraditional = 4,
    French = 5,
    Italian = 6,
    German = 7,
    Spanish = 8,
};

struct LanguageAlias {
    const wchar_t* alias;
    const wchar_t* tag;
    UiLanguage language;
};

enum class MenuString : int32_t {
    Header,
    TopLeft,
    TopRight,
    BottomLeft,
    BottomRight,
    ZoneTitle,
    DwellTitle,
    RunAtStartup,
    About,
    Exit,
};

// The accepted `Language` values, searched in order.
extern const LanguageAlias kLanguageAliases[27];

// First alias equal to the text without regard to ASCII case, or null.
const LanguageAlias* FindLanguageAlias(const wchar_t* text);
UiLanguage ResolveMenuLanguage(const wchar_t* language);
const wchar_t* MenuText(UiLanguage language, MenuString which);
const wchar_t* TaskViewLabel(UiLanguage language);
const wchar_t* DisabledLabel(UiLanguage language);
const wchar_t* CaptureModeLabel(UiLanguage language, CornerAction action);
