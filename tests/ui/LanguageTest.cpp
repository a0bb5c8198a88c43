// Interface language: the accepted names, the Windows language as fallback, and the texts by code point.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <utility>

#include "support/TestSupport.h"
#include "ui/Language.h"

namespace {

using L = UiLanguage;

LANGID g_windowsLanguage = 0;
int g_windowsQueries = 0;
LANGID WINAPI FakeUserDefaultUILanguage() { ++g_windowsQueries; return g_windowsLanguage; }

// Each of the 27 names, in any ASCII case, gives its language and tag without asking Windows, and is the
// language's English name or starts with its code. Anything that is not a whole alias follows Windows.
TEST(Language, WholeAliasElseTheWindowsLanguage) {
    // In UiLanguage order: the tag the thread preference receives and the English name.
    const std::pair<const wchar_t*, const wchar_t*> languages[] = {
        {L"ja-JP", L"japanese"}, {L"en-US", L"english"}, {L"ko-KR", L"korean"},  {L"zh-CN", L"chinese"},
        {L"zh-TW", L""},         {L"fr-FR", L"french"},  {L"it-IT", L"italian"}, {L"de-DE", L"german"},
        {L"es-ES", L"spanish"}};
    PlatformGuard platform;
    g_platform.getUserDefaultUILanguage = &FakeUserDefaultUILanguage;
    g_windowsQueries = 0;
    for (const LanguageAlias& row : kLanguageAliases) {
        SCOPED_TRACE(Utf8(row.alias));
        std::wstring upper = row.alias;
        EXPECT_EQ(&row, FindLanguageAlias(row.alias));
        EXPECT_EQ(&row, FindLanguageAlias(_wcsupr(upper.data())));
        EXPECT_EQ(row.language, ResolveMenuLanguage(row.alias));
        const auto [tag, name] = languages[static_cast<int>(row.language)];
        EXPECT_STREQ(tag, row.tag);
        EXPECT_TRUE(_wcsicmp(row.alias, name) == 0 || _wcsnicmp(row.alias, tag, 2) == 0);
    }
    EXPECT_EQ(0, g_windowsQueries);
    // Chinese sublanguages 1, 3 and 5 (Taiwan, Hong Kong, Macao) are Traditional; every other one Simplified.
    const std::pair<LANGID, L> cases[] = {
        {0x0411, L::Japanese},           {0x0412, L::Korean},            {0x0804, L::ChineseSimplified},
        {0x0404, L::ChineseTraditional}, {0x0C04, L::ChineseTraditional}, {0x1404, L::ChineseTraditional},
        {0x1004, L::ChineseSimplified},  {0x7C04, L::ChineseSimplified},  {0x0C0C, L::French},
        {0x0807, L::German},             {0x0410, L::Italian},            {0x080A, L::Spanish},
        {0x0809, L::English},            {0x0419, L::English} /* Russian */, {0x0000, L::English}};
    const wchar_t* null = nullptr;
    for (const wchar_t* choice : {null, L"", L"en-GB", L"ja_JP", L"fr-CA", L"j", L"japanesex", L" ja", L"\u00E9s"}) {
        for (const auto& [windows, expected] : cases) {
            g_windowsLanguage = windows;
            g_windowsQueries = 0;
            EXPECT_EQ(expected, ResolveMenuLanguage(choice)) << (choice ? Utf8(choice) : "null") << std::hex << windows;
            EXPECT_EQ(1, g_windowsQueries);
        }
    }
}

// A few texts of each language by code point: a wrong source encoding or a shifted row or column shows.
TEST(Language, SampleTextsByCodePoint) {
    using S = MenuString;
    using A = CornerAction;
    const auto T = &MenuText;
    const auto C = &CaptureModeLabel;
    const auto D = &DisabledLabel;
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {T(L::Japanese, S::Exit), L"Hoverlatch \u3092\u7D42\u4E86"},
        {C(L::Japanese, A::FramwickScroll), L"\u30B9\u30AF\u30ED\u30FC\u30EB\u03B2"},  // no blank before beta
        {T(L::English, S::DwellTitle), L"Time until detection"}, {C(L::English, A::FramwickOcr), L"Text OCR"},
        {T(L::Korean, S::BottomRight), L"\uC6B0\uD558\uB2E8"}, {D(L::Korean), L"\uC0AC\uC6A9 \uC548 \uD568"},
        {T(L::ChineseSimplified, S::Header), L"\u5C4F\u5E55\u8FB9\u89D2"},
        {C(L::ChineseSimplified, A::FramwickFreeform), L"\u81EA\u7531\u5F62\u72B6"},
        {T(L::ChineseTraditional, S::About), L"\u95DC\u65BC\u6B64\u61C9\u7528\u7A0B\u5F0F\u2026"},
        {C(L::ChineseTraditional, A::FramwickBar), L"\u64F7\u53D6\u2026"},
        {T(L::French, S::ZoneTitle), L"Zone avant d\u00E9tection"}, {C(L::French, A::FramwickWindow), L"Fen\u00EAtre"},
        {T(L::Italian, S::Header), L"Angoli attivi"}, {C(L::Italian, A::FramwickRegion), L"Rettangolo"},
        {T(L::German, S::BottomLeft), L"Unten links"}, {C(L::German, A::FramwickBar), L"Aufnehmen\u2026"},
        {T(L::Spanish, S::ZoneTitle), L"\u00C1rea antes de la detecci\u00F3n"}, {D(L::Spanish), L"Desactivado"},
        // Values outside the enumeration speak English.
        {T(L(9), S::Exit), L"Exit Hoverlatch"}, {TaskViewLabel(L(-1)), L"Task View"}, {D(L(-1)), L"Disabled"},
    };
    for (const auto& [actual, expected] : cases) EXPECT_STREQ(expected, actual);
}

}  // namespace

// Through the real GetUserDefaultUILanguage: ctest runs this once more on a German Windows (Wine takes
// the language from LC_ALL=de_DE.UTF-8) and says so with HOVERLATCH_GERMAN_WINDOWS.
TEST(Language, EmptyChoiceFollowsTheRealWindowsLanguage) {
    if (!GetEnvironmentVariableW(L"HOVERLATCH_GERMAN_WINDOWS", nullptr, 0)) GTEST_SKIP();
    EXPECT_EQ(ResolveMenuLanguage(L""), L::German);
    EXPECT_EQ(ResolveMenuLanguage(L"en-GB"), L::German);  // no alias: Windows decides
}
