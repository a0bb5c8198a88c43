// Interface language: a whole alias in any ASCII case names it; anything else follows Windows.
#include <gtest/gtest.h>
#include <windows.h>

#include "support/TestSupport.h"
#include "ui/Language.h"

namespace {

using L = UiLanguage;
LANGID g_windowsLanguage = 0;

// Chinese sublanguages 1, 3 and 5 (Taiwan, Hong Kong, Macao) are Traditional, every other one Simplified.
TEST(Language, WholeAliasElseTheWindowsLanguage) {
    PlatformGuard platform;
    g_platform.getUserDefaultUILanguage = [] { return g_windowsLanguage; };
    struct Case { const wchar_t* choice; LANGID windows; L expected; };
    const Case cases[] = {
        {L"JA", 0x0419, L::Japanese}, {L"zh-HANS", 0x0404, L::ChineseSimplified}, {L"SPANISH", 0x0807, L::Spanish},
        {L"Zh-Hant", 0x0804, L::ChineseTraditional}, {nullptr, 0x0411, L::Japanese}, {L"", 0x0807, L::German},
        {L"", 0x0419, L::English}, {L"en-GB", 0x0804, L::ChineseSimplified}, {L"de-", 0x1404, L::ChineseTraditional},
        {L"japanesex", 0x0404, L::ChineseTraditional}, {L" ja", 0x0C04, L::ChineseTraditional},
        {L"\u00E9s", 0x1004, L::ChineseSimplified}, {L"ja_JP", 0x7C04, L::ChineseSimplified},
    };
    for (const Case& c : cases) {
        g_windowsLanguage = c.windows;
        EXPECT_EQ(ResolveMenuLanguage(c.choice), c.expected) << (c.choice ? Utf8(c.choice) : "null") << std::hex
                                                             << " on " << c.windows;
    }
}

}  // namespace

// Through the real GetUserDefaultUILanguage: ctest runs this once more on a German Windows (Wine takes
// the language from LC_ALL=de_DE.UTF-8) and says so with HOVERLATCH_GERMAN_WINDOWS.
TEST(Language, EmptyChoiceFollowsTheRealWindowsLanguage) {
    if (!GetEnvironmentVariableW(L"HOVERLATCH_GERMAN_WINDOWS", nullptr, 0)) GTEST_SKIP();
    EXPECT_EQ(ResolveMenuLanguage(L""), L::German);
    EXPECT_EQ(ResolveMenuLanguage(L"en-GB"), L::German);  // no alias: Windows decides
}
