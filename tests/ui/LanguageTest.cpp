// Interface language: the accepted names, the Windows language as fallback, and the texts by code point.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "support/TestSupport.h"
#include "ui/Language.h"

namespace {

LANGID g_windowsLanguage = 0;
int g_windowsQueries = 0;
LANGID WINAPI FakeUserDefaultUILanguage() {
    ++g_windowsQueries;
    return g_windowsLanguage;
}

// Per language, in UiLanguage order: the tag the thread preference receives and the English name accepted.
constexpr std::pair<const wchar_t*, const wchar_t*> kLanguages[] = {
    {L"ja-JP", L"japanese"}, {L"en-US", L"english"}, {L"ko-KR", L"korean"},  {L"zh-CN", L"chinese"},
    {L"zh-TW", L""},         {L"fr-FR", L"french"},  {L"it-IT", L"italian"}, {L"de-DE", L"german"},
    {L"es-ES", L"spanish"}};

// Each of the 27 names is found as itself in any ASCII case, gives its language's tag, and is that
// language's English name or starts with its two-letter code; Windows is never asked.
TEST(Language, EveryAliasSelectsItsOwnLanguage) {
    PlatformGuard platform;
    g_platform.getUserDefaultUILanguage = &FakeUserDefaultUILanguage;
    g_windowsQueries = 0;
    std::vector<std::wstring> seen;
    for (const LanguageAlias& row : kLanguageAliases) {
        SCOPED_TRACE(Utf8(row.alias));
        EXPECT_EQ(std::find(seen.begin(), seen.end(), row.alias), seen.end()) << "listed twice";
        seen.emplace_back(row.alias);
        EXPECT_EQ(&row, FindLanguageAlias(row.alias));
        std::wstring upper = row.alias;
        EXPECT_EQ(&row, FindLanguageAlias(_wcsupr(upper.data())));
        EXPECT_EQ(row.language, ResolveMenuLanguage(row.alias));
        const auto [tag, name] = kLanguages[static_cast<int>(row.language)];
        EXPECT_STREQ(tag, row.tag);
        EXPECT_TRUE(_wcsicmp(row.alias, name) == 0 || _wcsnicmp(row.alias, tag, 2) == 0);
    }
    EXPECT_EQ(27u, seen.size());
    EXPECT_EQ(0, g_windowsQueries);
    const wchar_t* const rejected[] = {L"ja_JP", L"fr-CA", L"j", L"japanesex", L" ja", L"", L"\u00E9s", nullptr};
    for (const wchar_t* text : rejected) EXPECT_EQ(nullptr, FindLanguageAlias(text)) << (text ? Utf8(text) : "null");
}

TEST(Language, NoOrUnknownChoiceFollowsWindows) {
    PlatformGuard platform;
    g_platform.getUserDefaultUILanguage = &FakeUserDefaultUILanguage;
    // Chinese sublanguages 1, 3 and 5 (Taiwan, Hong Kong, Macao) are Traditional; every other one Simplified.
    const std::pair<LANGID, UiLanguage> cases[] = {
        {0x0411, UiLanguage::Japanese},           {0x0412, UiLanguage::Korean},
        {0x0804, UiLanguage::ChineseSimplified},  {0x0404, UiLanguage::ChineseTraditional},
        {0x0C04, UiLanguage::ChineseTraditional}, {0x1404, UiLanguage::ChineseTraditional},
        {0x1004, UiLanguage::ChineseSimplified},  {0x7C04, UiLanguage::ChineseSimplified},
        {0x0C0C, UiLanguage::French},             {0x0807, UiLanguage::German},
        {0x0410, UiLanguage::Italian},            {0x080A, UiLanguage::Spanish},
        {0x0809, UiLanguage::English},            {0x0419, UiLanguage::English},  // Russian
        {0x0000, UiLanguage::English}};
    for (const wchar_t* choice : {static_cast<const wchar_t*>(nullptr), L"", L"en-GB"}) {
        for (const auto& [windows, expected] : cases) {
            g_windowsLanguage = windows;
            g_windowsQueries = 0;
            EXPECT_EQ(expected, ResolveMenuLanguage(choice)) << std::hex << windows;
            EXPECT_EQ(1, g_windowsQueries);
        }
    }
}

// A few texts of each language by code point: a wrong source encoding or a shifted row or column shows.
TEST(Language, SampleTextsByCodePoint) {
    using L = UiLanguage;
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
    EXPECT_EQ(ResolveMenuLanguage(L""), UiLanguage::German);
    EXPECT_EQ(ResolveMenuLanguage(L"en-GB"), UiLanguage::German);  // no alias: Windows decides
}
