#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/TestSupport.h"
#include "ui/Language.h"

namespace {

LANGID g_fakeWindowsLanguage = 0;
int g_windowsLanguageQueries = 0;

LANGID WINAPI FakeUserDefaultUILanguage() {
    ++g_windowsLanguageQueries;
    return g_fakeWindowsLanguage;
}

// Makes Windows answer `id` for the user's UI language and counts the questions.
void FakeWindowsLanguage(LANGID id) {
    g_fakeWindowsLanguage = id;
    g_windowsLanguageQueries = 0;
    g_platform.getUserDefaultUILanguage = &FakeUserDefaultUILanguage;
}

struct AliasCase {
    const wchar_t* text;
    const wchar_t* tag;
    UiLanguage language;
};

// Every accepted name, plus case variants, each with the tag the thread preference receives.
constexpr AliasCase kAliasCases[] = {
    {L"ja", L"ja-JP", UiLanguage::Japanese},
    {L"ja-JP", L"ja-JP", UiLanguage::Japanese},
    {L"japanese", L"ja-JP", UiLanguage::Japanese},
    {L"JAPANESE", L"ja-JP", UiLanguage::Japanese},
    {L"Ja-jp", L"ja-JP", UiLanguage::Japanese},
    {L"en", L"en-US", UiLanguage::English},
    {L"en-US", L"en-US", UiLanguage::English},
    {L"english", L"en-US", UiLanguage::English},
    {L"ko", L"ko-KR", UiLanguage::Korean},
    {L"ko-KR", L"ko-KR", UiLanguage::Korean},
    {L"korean", L"ko-KR", UiLanguage::Korean},
    {L"zh", L"zh-CN", UiLanguage::ChineseSimplified},
    {L"zh-CN", L"zh-CN", UiLanguage::ChineseSimplified},
    {L"zh-Hans", L"zh-CN", UiLanguage::ChineseSimplified},
    {L"chinese", L"zh-CN", UiLanguage::ChineseSimplified},
    {L"CHINESE", L"zh-CN", UiLanguage::ChineseSimplified},
    {L"zh-TW", L"zh-TW", UiLanguage::ChineseTraditional},
    {L"zh-tw", L"zh-TW", UiLanguage::ChineseTraditional},
    {L"zh-Hant", L"zh-TW", UiLanguage::ChineseTraditional},
    {L"fr", L"fr-FR", UiLanguage::French},
    {L"fr-FR", L"fr-FR", UiLanguage::French},
    {L"french", L"fr-FR", UiLanguage::French},
    {L"it", L"it-IT", UiLanguage::Italian},
    {L"it-IT", L"it-IT", UiLanguage::Italian},
    {L"italian", L"it-IT", UiLanguage::Italian},
    {L"de", L"de-DE", UiLanguage::German},
    {L"de-DE", L"de-DE", UiLanguage::German},
    {L"German", L"de-DE", UiLanguage::German},
    {L"es", L"es-ES", UiLanguage::Spanish},
    {L"es-ES", L"es-ES", UiLanguage::Spanish},
    {L"spanish", L"es-ES", UiLanguage::Spanish},
};

TEST(LanguageAliases, TableHoldsTwentySevenDistinctNamesWithTheirTags) {
    std::vector<std::wstring> seen;
    for (const LanguageAlias& row : kLanguageAliases) {
        ASSERT_NE(row.alias, nullptr);
        ASSERT_NE(row.tag, nullptr);
        for (const std::wstring& earlier : seen) EXPECT_NE(earlier, row.alias);
        seen.emplace_back(row.alias);
        // Each row must be found as itself, so no earlier row shadows it.
        EXPECT_EQ(FindLanguageAlias(row.alias), &row) << Utf8(row.alias);
    }
    EXPECT_EQ(seen.size(), 27u);
}

TEST(LanguageAliases, EveryAcceptedNameSelectsItsLanguageWithoutAskingWindows) {
    PlatformGuard guard;
    FakeWindowsLanguage(MAKELANGID(LANG_PORTUGUESE, SUBLANG_PORTUGUESE_BRAZILIAN));
    for (const AliasCase& c : kAliasCases) {
        const LanguageAlias* row = FindLanguageAlias(c.text);
        ASSERT_NE(row, nullptr) << Utf8(c.text);
        EXPECT_STREQ(row->tag, c.tag) << Utf8(c.text);
        EXPECT_EQ(row->language, c.language) << Utf8(c.text);
        EXPECT_EQ(ResolveMenuLanguage(c.text), c.language) << Utf8(c.text);
    }
    EXPECT_EQ(g_windowsLanguageQueries, 0);
}

TEST(LanguageAliases, OnlyWholeNamesMatch) {
    for (const wchar_t* text : {L"ja_JP", L"fr-CA", L"en-GB", L"zh-HK", L"j", L"jap", L"japanesex", L" ja", L"ja ",
                                L"de-DE-1996", L"", L"\u00E9s"}) {
        EXPECT_EQ(FindLanguageAlias(text), nullptr) << Utf8(text);
    }
    EXPECT_EQ(FindLanguageAlias(nullptr), nullptr);
}

struct WindowsLanguageCase {
    LANGID windows;
    UiLanguage expected;
};

TEST(MenuLanguage, FollowsWindowsWhenTheChoiceIsEmptyOrUnknown) {
    PlatformGuard guard;
    constexpr WindowsLanguageCase cases[] = {
        {0x0411, UiLanguage::Japanese},            // Japanese
        {0x0412, UiLanguage::Korean},              // Korean
        {0x0804, UiLanguage::ChineseSimplified},   // Chinese (PRC), sublanguage 2
        {0x0404, UiLanguage::ChineseTraditional},  // Chinese (Taiwan), sublanguage 1
        {0x0C04, UiLanguage::ChineseTraditional},  // Chinese (Hong Kong), sublanguage 3
        {0x1404, UiLanguage::ChineseTraditional},  // Chinese (Macao), sublanguage 5
        {0x1004, UiLanguage::ChineseSimplified},   // Chinese (Singapore), sublanguage 4
        {0x7C04, UiLanguage::ChineseSimplified},   // Chinese, sublanguage 31
        {0x040C, UiLanguage::French},              // French (France)
        {0x0C0C, UiLanguage::French},              // French (Canada)
        {0x0407, UiLanguage::German},              // German (Germany)
        {0x0807, UiLanguage::German},              // German (Switzerland)
        {0x0410, UiLanguage::Italian},             // Italian
        {0x0C0A, UiLanguage::Spanish},             // Spanish (modern sort)
        {0x080A, UiLanguage::Spanish},             // Spanish (Mexico)
        {0x0409, UiLanguage::English},             // English (United States)
        {0x0809, UiLanguage::English},             // English (United Kingdom)
        {0x0416, UiLanguage::English},             // Portuguese (Brazil)
        {0x0419, UiLanguage::English},             // Russian
        {0x0000, UiLanguage::English},             // neutral
    };
    for (const wchar_t* choice : {static_cast<const wchar_t*>(nullptr), L"", L"en-GB", L"zh-HK", L"ja_JP"}) {
        for (const WindowsLanguageCase& c : cases) {
            FakeWindowsLanguage(c.windows);
            EXPECT_EQ(ResolveMenuLanguage(choice), c.expected)
                << "windows 0x" << std::hex << c.windows << " choice " << (choice ? Utf8(choice) : "null");
            EXPECT_EQ(g_windowsLanguageQueries, 1);
        }
    }
}

TEST(MenuLanguage, AChoiceWinsOverWindows) {
    PlatformGuard guard;
    FakeWindowsLanguage(0x040C);  // French Windows
    EXPECT_EQ(ResolveMenuLanguage(L"en"), UiLanguage::English);
    EXPECT_EQ(ResolveMenuLanguage(L"en-GB"), UiLanguage::French);
}

struct TextCase {
    UiLanguage language;
    MenuString which;
    const wchar_t* text;
};

// A few texts of every language, written as code points so a wrong source encoding, a shifted row or
// a shifted column shows up.
TEST(MenuTexts, SampleTextsByCodePoint) {
    constexpr TextCase cases[] = {
        {UiLanguage::Japanese, MenuString::Header, L"\u30DB\u30C3\u30C8\u30B3\u30FC\u30CA\u30FC"},
        {UiLanguage::Japanese, MenuString::ZoneTitle, L"\u691C\u51FA\u307E\u3067\u306E\u7BC4\u56F2"},
        {UiLanguage::Japanese, MenuString::About, L"\u3053\u306E\u30A2\u30D7\u30EA\u306B\u3064\u3044\u3066\u2026"},
        {UiLanguage::Japanese, MenuString::Exit, L"Hoverlatch \u3092\u7D42\u4E86"},
        {UiLanguage::English, MenuString::Header, L"Hot corners"},
        {UiLanguage::English, MenuString::TopLeft, L"Top left"},
        {UiLanguage::English, MenuString::BottomRight, L"Bottom right"},
        {UiLanguage::English, MenuString::DwellTitle, L"Time until detection"},
        {UiLanguage::English, MenuString::RunAtStartup, L"Run at Windows startup"},
        {UiLanguage::English, MenuString::About, L"About this app\u2026"},
        {UiLanguage::Korean, MenuString::Header, L"\uD56B \uCF54\uB108"},
        {UiLanguage::Korean, MenuString::BottomRight, L"\uC6B0\uD558\uB2E8"},
        {UiLanguage::Korean, MenuString::Exit, L"Hoverlatch \uC885\uB8CC"},
        {UiLanguage::ChineseSimplified, MenuString::Header, L"\u5C4F\u5E55\u8FB9\u89D2"},
        {UiLanguage::ChineseSimplified, MenuString::DwellTitle, L"\u68C0\u6D4B\u524D\u7684\u65F6\u95F4"},
        {UiLanguage::ChineseSimplified, MenuString::TopRight, L"\u53F3\u4E0A"},
        {UiLanguage::ChineseTraditional, MenuString::Header, L"\u87A2\u5E55\u89D2\u843D"},
        {UiLanguage::ChineseTraditional, MenuString::About, L"\u95DC\u65BC\u6B64\u61C9\u7528\u7A0B\u5F0F\u2026"},
        {UiLanguage::ChineseTraditional, MenuString::Exit, L"\u7D50\u675F Hoverlatch"},
        {UiLanguage::French, MenuString::ZoneTitle, L"Zone avant d\u00E9tection"},
        {UiLanguage::French, MenuString::About, L"\u00C0 propos\u2026"},
        {UiLanguage::French, MenuString::BottomLeft, L"Bas gauche"},
        {UiLanguage::Italian, MenuString::RunAtStartup, L"Avvia all'avvio di Windows"},
        {UiLanguage::Italian, MenuString::TopRight, L"In alto a destra"},
        {UiLanguage::Italian, MenuString::About, L"Informazioni\u2026"},
        {UiLanguage::German, MenuString::Header, L"Aktive Ecken"},
        {UiLanguage::German, MenuString::ZoneTitle, L"Bereich bis zur Erkennung"},
        {UiLanguage::German, MenuString::About, L"Info\u2026"},
        {UiLanguage::German, MenuString::Exit, L"Hoverlatch beenden"},
        {UiLanguage::Spanish, MenuString::ZoneTitle, L"\u00C1rea antes de la detecci\u00F3n"},
        {UiLanguage::Spanish, MenuString::DwellTitle, L"Tiempo antes de la detecci\u00F3n"},
        {UiLanguage::Spanish, MenuString::BottomLeft, L"Abajo izquierda"},
    };
    for (const TextCase& c : cases) {
        EXPECT_STREQ(MenuText(c.language, c.which), c.text)
            << "language " << static_cast<int>(c.language) << " string " << static_cast<int>(c.which);
    }
}

struct LabelCase {
    UiLanguage language;
    CornerAction action;  // TaskView, Disabled or a capture mode
    const wchar_t* text;
};

const wchar_t* LabelOf(UiLanguage language, CornerAction action) {
    if (action == CornerAction::TaskView) return TaskViewLabel(language);
    if (action == CornerAction::Disabled) return DisabledLabel(language);
    return CaptureModeLabel(language, action);
}

TEST(ActionLabels, SampleLabelsByCodePoint) {
    constexpr LabelCase cases[] = {
        {UiLanguage::Japanese, CornerAction::Disabled, L"\u7121\u52B9"},
        // No blank before the beta in Japanese only.
        {UiLanguage::Japanese, CornerAction::FramwickScroll, L"\u30B9\u30AF\u30ED\u30FC\u30EB\u03B2"},
        {UiLanguage::Japanese, CornerAction::FramwickBar, L"\u30AD\u30E3\u30D7\u30C1\u30E3\u2026"},
        {UiLanguage::English, CornerAction::TaskView, L"Task View"},
        {UiLanguage::English, CornerAction::Disabled, L"Disabled"},
        {UiLanguage::English, CornerAction::FramwickRegion, L"Rectangle"},
        {UiLanguage::English, CornerAction::FramwickWindow, L"Window"},
        {UiLanguage::English, CornerAction::FramwickFullscreen, L"Fullscreen"},
        {UiLanguage::English, CornerAction::FramwickFreeform, L"Freeform"},
        {UiLanguage::English, CornerAction::FramwickScroll, L"Scroll \u03B2"},
        {UiLanguage::English, CornerAction::FramwickOcr, L"Text OCR"},
        {UiLanguage::English, CornerAction::FramwickBar, L"Capture\u2026"},
        {UiLanguage::Korean, CornerAction::Disabled, L"\uC0AC\uC6A9 \uC548 \uD568"},
        {UiLanguage::Korean, CornerAction::FramwickWindow, L"\uCC3D"},
        {UiLanguage::Korean, CornerAction::FramwickScroll, L"\uC2A4\uD06C\uB864 \u03B2"},
        {UiLanguage::ChineseSimplified, CornerAction::TaskView, L"\u4EFB\u52A1\u89C6\u56FE"},
        {UiLanguage::ChineseSimplified, CornerAction::FramwickFullscreen, L"\u5168\u5C4F"},
        {UiLanguage::ChineseTraditional, CornerAction::TaskView, L"\u5DE5\u4F5C\u6AA2\u8996"},
        {UiLanguage::ChineseTraditional, CornerAction::FramwickFullscreen, L"\u5168\u87A2\u5E55"},
        {UiLanguage::French, CornerAction::TaskView, L"Vue des t\u00E2ches"},
        {UiLanguage::French, CornerAction::Disabled, L"D\u00E9sactiv\u00E9"},
        {UiLanguage::French, CornerAction::FramwickRegion, L"Rectangle"},
        {UiLanguage::French, CornerAction::FramwickWindow, L"Fen\u00EAtre"},
        {UiLanguage::French, CornerAction::FramwickScroll, L"D\u00E9filement \u03B2"},
        {UiLanguage::Italian, CornerAction::TaskView, L"Visualizzazione attivit\u00E0"},
        {UiLanguage::Italian, CornerAction::FramwickBar, L"Acquisisci\u2026"},
        {UiLanguage::German, CornerAction::FramwickOcr, L"Text-OCR"},
        {UiLanguage::German, CornerAction::FramwickFreeform, L"Freiform"},
        {UiLanguage::Spanish, CornerAction::FramwickRegion, L"Rect\u00E1ngulo"},
        {UiLanguage::Spanish, CornerAction::FramwickBar, L"Capturar\u2026"},
        {UiLanguage::Spanish, CornerAction::FramwickOcr, L"OCR de texto"},
    };
    for (const LabelCase& c : cases) {
        EXPECT_STREQ(LabelOf(c.language, c.action), c.text)
            << "language " << static_cast<int>(c.language) << " action " << static_cast<int>(c.action);
    }
}

TEST(ActionLabels, NonCaptureActionsShowTheRegionLabel) {
    for (int action : {0, 1, 2, 3, 11, -1}) {
        EXPECT_STREQ(CaptureModeLabel(UiLanguage::German, static_cast<CornerAction>(action)), L"Rechteck") << action;
    }
}

TEST(MenuTexts, UnknownLanguageValuesSpeakEnglish) {
    for (int value : {9, -1, 1, 1000}) {
        const auto language = static_cast<UiLanguage>(value);
        EXPECT_STREQ(MenuText(language, MenuString::Header), L"Hot corners") << value;
        EXPECT_STREQ(MenuText(language, MenuString::Exit), L"Exit Hoverlatch") << value;
        EXPECT_STREQ(TaskViewLabel(language), L"Task View") << value;
        EXPECT_STREQ(DisabledLabel(language), L"Disabled") << value;
        EXPECT_STREQ(CaptureModeLabel(language, CornerAction::FramwickOcr), L"Text OCR") << value;
    }
}

TEST(MenuTexts, EveryTextOfEveryLanguageIsPresent) {
    for (int language = 0; language <= 8; ++language) {
        const auto lang = static_cast<UiLanguage>(language);
        for (int which = 0; which <= static_cast<int>(MenuString::Exit); ++which) {
            const wchar_t* text = MenuText(lang, static_cast<MenuString>(which));
            ASSERT_NE(text, nullptr);
            EXPECT_NE(text[0], L'\0') << language << "/" << which;
        }
        EXPECT_NE(TaskViewLabel(lang)[0], L'\0');
        EXPECT_NE(DisabledLabel(lang)[0], L'\0');
        for (int action = 4; action <= 10; ++action) {
            EXPECT_NE(CaptureModeLabel(lang, static_cast<CornerAction>(action))[0], L'\0');
        }
    }
}

// Exit codes of the child run below: this base plus the UiLanguage it resolved; small enough to pass
// through a Unix exit status unchanged.
constexpr DWORD kChildExitBase = 100;

// Runs only in the child started by the test after it: asks the real Windows UI language.
TEST(MenuLanguageChild, DISABLED_ReportsTheLanguageWindowsGives) {
    ExitProcess(kChildExitBase + static_cast<DWORD>(ResolveMenuLanguage(L"")));
}

// Wine takes the user's UI language from the Unix locale of a process, and a Windows program started
// from a Windows program inherits its parent's Unix environment whatever environment block it is
// given. A Unix shell, started through Wine, is the way to give the child its own LC_ALL; the shell
// hands the child's exit code back through a file, since Wine gives no handle for a Unix process.
using WineGetUnixFileName = char*(CDECL*)(LPCWSTR);

WineGetUnixFileName FindWineUnixFileName() {
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    FARPROC proc = kernel ? GetProcAddress(kernel, "wine_get_unix_file_name") : nullptr;
    return reinterpret_cast<WineGetUnixFileName>(reinterpret_cast<void*>(proc));
}

std::string UnixPath(WineGetUnixFileName toUnix, const std::wstring& path) {
    char* unix = toUnix(path.c_str());
    if (!unix) return {};
    std::string result = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return result;
}

// Single-quoted for the shell, with embedded quotes closed, escaped and reopened.
std::wstring ShellQuoted(const std::string& text) {
    std::wstring quoted = L"'";
    for (char c : text) {
        if (c == '\'') quoted += L"'\\''";
        else quoted += static_cast<wchar_t>(static_cast<unsigned char>(c));
    }
    return quoted + L"'";
}

TEST(MenuLanguage, AnEmptyChoiceOnGermanWindowsGivesGerman) {
    constexpr DWORD kChildDeadlineMs = 120000;  // a Wine process start under load can take seconds
    constexpr DWORD kPollMs = 50;
    WineGetUnixFileName toUnix = FindWineUnixFileName();
    if (!toUnix) GTEST_SKIP() << "needs Wine: the language comes from the child's Unix locale";

    ScratchFolder scratch;
    wchar_t self[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
    const std::string exe = UnixPath(toUnix, self);
    const std::string result = UnixPath(toUnix, scratch / L"exit-code.txt");
    ASSERT_FALSE(exe.empty());
    ASSERT_FALSE(result.empty());
    // The code is written to a side file and renamed, so the poll below never reads half a line.
    std::wstring commandLine = L"/bin/sh -c \"LC_ALL=de_DE.UTF-8 wine " + ShellQuoted(exe) +
                               L" --gtest_filter=MenuLanguageChild.DISABLED_ReportsTheLanguageWindowsGives"
                               L" --gtest_also_run_disabled_tests >/dev/null 2>&1; echo $? > " +
                               ShellQuoted(result + ".part") + L" && mv " + ShellQuoted(result + ".part") + L" " +
                               ShellQuoted(result) + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &process))
        << GetLastError();
    if (process.hThread) CloseHandle(process.hThread);
    if (process.hProcess) CloseHandle(process.hProcess);

    const DWORD started = GetTickCount();
    while (!FileExists(scratch / L"exit-code.txt") && GetTickCount() - started < kChildDeadlineMs) Sleep(kPollMs);
    bool read = false;
    const std::string code = ReadBytes(scratch / L"exit-code.txt", &read);
    ASSERT_TRUE(read) << "the child gave no answer within the deadline";
    EXPECT_EQ(atoi(code.c_str()), static_cast<int>(kChildExitBase + static_cast<DWORD>(UiLanguage::German)))
        << "child answered " << code;
}

}  // namespace
