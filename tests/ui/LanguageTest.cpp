// Interface language: the accepted names, the Windows language as fallback, the texts' encoding.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <utility>

#include "support/TestSupport.h"
#include "ui/Language.h"

namespace {

using L = UiLanguage;

LANGID g_windowsLanguage = 0x0419;  // Russian: no language of the menu
LANGID WINAPI FakeUserDefaultUILanguage() { return g_windowsLanguage; }

// A whole alias in any ASCII case names the language; anything else follows Windows, where Chinese
// sublanguages 1, 3 and 5 (Taiwan, Hong Kong, Macao) are Traditional and every other one Simplified.
TEST(Language, WholeAliasElseTheWindowsLanguage) {
    PlatformGuard platform;
    g_platform.getUserDefaultUILanguage = &FakeUserDefaultUILanguage;
    const std::pair<const wchar_t*, L> aliases[] = {
        {L"JA", L::Japanese}, {L"Japanese", L::Japanese}, {L"en-us", L::English}, {L"KO-kr", L::Korean},
        {L"zh", L::ChineseSimplified}, {L"zh-HANS", L::ChineseSimplified}, {L"zh-tw", L::ChineseTraditional},
        {L"Zh-Hant", L::ChineseTraditional}, {L"french", L::French}, {L"It-IT", L::Italian}, {L"de", L::German},
        {L"SPANISH", L::Spanish}, {L"es-ES", L::Spanish}};
    for (const auto& [alias, expected] : aliases) EXPECT_EQ(expected, ResolveMenuLanguage(alias)) << Utf8(alias);
    const std::pair<LANGID, L> windows[] = {
        {0x0411, L::Japanese},           {0x0412, L::Korean},             {0x0804, L::ChineseSimplified},
        {0x0404, L::ChineseTraditional}, {0x0C04, L::ChineseTraditional}, {0x1404, L::ChineseTraditional},
        {0x1004, L::ChineseSimplified},  {0x7C04, L::ChineseSimplified},  {0x0C0C, L::French},
        {0x0807, L::German},             {0x0410, L::Italian},            {0x080A, L::Spanish},
        {0x0809, L::English},            {0x0419, L::English},            {0x0000, L::English}};
    const wchar_t* null = nullptr;
    for (const wchar_t* choice : {null, L"", L"en-GB", L"ja_JP", L"j", L"japanesex", L" ja", L"\u00E9s"}) {
        for (const auto& [id, expected] : windows) {
            g_windowsLanguage = id;
            EXPECT_EQ(expected, ResolveMenuLanguage(choice)) << (choice ? Utf8(choice) : "null") << std::hex << id;
        }
    }
}

// A wrong source encoding shows in any text beyond ASCII; values outside the enumeration speak English.
TEST(Language, TextsByCodePointAndUnknownLanguagesInEnglish) {
    EXPECT_STREQ(MenuText(L::Japanese, MenuString::Exit), L"Hoverlatch \u3092\u7D42\u4E86");
    EXPECT_STREQ(MenuText(L::Spanish, MenuString::ZoneTitle), L"\u00C1rea antes de la detecci\u00F3n");
    EXPECT_STREQ(MenuText(L(9), MenuString::Exit), L"Exit Hoverlatch");
    EXPECT_STREQ(TaskViewLabel(L(-1)), L"Task View");
    EXPECT_STREQ(CaptureModeLabel(L(-1), CornerAction::FramwickOcr), L"Text OCR");
}

}  // namespace

// Through the real GetUserDefaultUILanguage: ctest runs this once more on a German Windows (Wine takes
// the language from LC_ALL=de_DE.UTF-8) and says so with HOVERLATCH_GERMAN_WINDOWS.
TEST(Language, EmptyChoiceFollowsTheRealWindowsLanguage) {
    if (!GetEnvironmentVariableW(L"HOVERLATCH_GERMAN_WINDOWS", nullptr, 0)) GTEST_SKIP();
    EXPECT_EQ(ResolveMenuLanguage(L""), L::German);
    EXPECT_EQ(ResolveMenuLanguage(L"en-GB"), L::German);  // no alias: Windows decides
}
