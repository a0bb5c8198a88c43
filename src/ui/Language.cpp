#include "ui/Language.h"

const LanguageAlias kLanguageAliases[27] = {};
const LanguageAlias* FindLanguageAlias(const wchar_t*) { return nullptr; }
UiLanguage ResolveMenuLanguage(const wchar_t*) { return UiLanguage::English; }
const wchar_t* MenuText(UiLanguage, MenuString) { return L""; }
const wchar_t* TaskViewLabel(UiLanguage) { return L""; }
const wchar_t* DisabledLabel(UiLanguage) { return L""; }
const wchar_t* CaptureModeLabel(UiLanguage, CornerAction) { return L""; }
