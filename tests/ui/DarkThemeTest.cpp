#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "support/TestSupport.h"
#include "ui/DarkTheme.h"

namespace {

using Calls = std::vector<std::string>;
Calls g_calls;  // what the fakes below were asked, in order
// What uxtheme answers, and the AppsUseLightTheme value with the status it is read with.
struct Answers { BOOL uxDark = FALSE; LSTATUS status = ERROR_SUCCESS; DWORD light = 1; } g_answers;
const HWND kWindow = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x4242));

void WINAPI FakeRefresh() { g_calls.push_back("refresh"); }
BOOL WINAPI FakePrefersDark() { return g_calls.push_back("prefers"), g_answers.uxDark; }
BOOL WINAPI FakeAllow(HWND, BOOL allow) { return g_calls.push_back("allow=" + std::to_string(allow)), TRUE; }
int WINAPI FakeAppMode(int mode) { return g_calls.push_back("appmode=" + std::to_string(mode)), 0; }
void WINAPI FakeFlush() { g_calls.push_back("flush"); }

LSTATUS WINAPI FakeRegGetValueW(HKEY key, LPCWSTR subkey, LPCWSTR name, DWORD, LPDWORD, PVOID data, LPDWORD) {
    const bool personalize = key == HKEY_CURRENT_USER && name && !lstrcmpW(name, L"AppsUseLightTheme") &&
                             !lstrcmpW(subkey, L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize");
    g_calls.push_back(personalize ? "registry" : "another registry value");
    if (g_answers.status == ERROR_SUCCESS) *static_cast<DWORD*>(data) = g_answers.light;
    return g_answers.status;
}

HRESULT WINAPI FakeDwmSetWindowAttribute(HWND window, DWORD attribute, LPCVOID data, DWORD) {
    EXPECT_EQ(window, kWindow);
    g_calls.push_back("dwm" + std::to_string(attribute) + "=" + std::to_string(*static_cast<const BOOL*>(data)));
    return S_OK;
}

const DarkModeEntryPoints kAllFakes{reinterpret_cast<HMODULE>(0x10000), &FakeRefresh, &FakePrefersDark,
                                    &FakeAllow, &FakeAppMode, &FakeFlush};

struct ThemeTest : ::testing::Test {
    PlatformGuard platform;
    DarkModeEntryPoints saved = g_darkMode;
    void SetUp() override {
        g_platform.regGetValueW = &FakeRegGetValueW;
        g_platform.dwmSetWindowAttribute = &FakeDwmSetWindowAttribute;
    }
    void TearDown() override { g_darkMode = saved; }
    static void Reset(const DarkModeEntryPoints& entryPoints, Answers answers = {}) {
        g_calls.clear();
        g_answers = answers;
        g_darkMode = entryPoints;
    }
};

}  // namespace

// Ordinal 132 returns a one-byte bool; the rest of the register is whatever the export left there.
TEST_F(ThemeTest, ThemeIsDecidedByUxthemeOrElseTheRegistryAndSetAsDwmAttributes20Then19) {
    const DarkModeEntryPoints none{};
    const Calls dark{"prefers", "allow=1", "dwm20=1", "dwm19=1"}, light{"prefers", "allow=0", "dwm20=0", "dwm19=0"};
    struct Case { const char* name; DarkModeEntryPoints entryPoints; HWND window; Answers answers; Calls calls; };
    const Case cases[] = {
        {"uxtheme dark", kAllFakes, kWindow, {TRUE, ERROR_SUCCESS, 1}, dark},
        {"uxtheme light", kAllFakes, kWindow, {FALSE, ERROR_SUCCESS, 0}, light},
        {"uxtheme false, upper bytes garbage", kAllFakes, kWindow, {0x5A5A5A00, ERROR_SUCCESS, 0}, light},
        {"uxtheme true, upper bytes garbage", kAllFakes, kWindow, {static_cast<BOOL>(0xA5A5A501), ERROR_SUCCESS, 1}, dark},
        {"registry 0 is dark", none, kWindow, {TRUE, ERROR_SUCCESS, 0}, {"registry", "dwm20=1", "dwm19=1"}},
        {"registry 1 is light", none, kWindow, {TRUE, ERROR_SUCCESS, 1}, {"registry", "dwm20=0", "dwm19=0"}},
        {"value absent is light", none, kWindow, {TRUE, ERROR_FILE_NOT_FOUND, 0}, {"registry", "dwm20=0", "dwm19=0"}},
        {"null window, uxtheme", kAllFakes, nullptr, {TRUE, ERROR_SUCCESS, 0}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Reset(c.entryPoints, c.answers);
        ApplyWindowTheme(c.window);
        EXPECT_EQ(g_calls, c.calls);
    }
}

TEST_F(ThemeTest, OnlyAColourSetChangeRefreshesAndFlushesButEveryChangeReapplies) {
    const std::pair<const wchar_t*, bool> cases[] = {
        {L"iMMERSIVECOLORsET", true}, {L"ImmersiveColorSetX", false}, {nullptr, false}};
    for (const auto& [area, refreshes] : cases) {
        SCOPED_TRACE(area ? Utf8(area) : "null lParam");
        Reset(kAllFakes);
        OnThemeSettingChange(kWindow, reinterpret_cast<LPARAM>(area));
        Calls expected = refreshes ? Calls{"refresh", "flush"} : Calls{};
        expected.insert(expected.end(), {"prefers", "allow=0", "dwm20=0", "dwm19=0"});
        EXPECT_EQ(g_calls, expected);
    }
}

// Without 132 and 135 the others may be unrelated exports (104 is one on Wine): none of them may be called.
TEST_F(ThemeTest, EntryPointsAreTrustedOnlyAsASetWith132And135) {
    const HMODULE module = kAllFakes.module;
    const Calls untrusted{"registry", "dwm20=0", "dwm19=0"};
    struct Case { const char* name; DarkModeEntryPoints fetched; Calls calls; };
    const Case cases[] = {
        {"all five", kAllFakes,
         {"refresh", "appmode=1", "refresh", "prefers", "allow=0", "dwm20=0", "dwm19=0", "flush"}},
        {"132 and 135 only", {module, nullptr, &FakePrefersDark, nullptr, &FakeAppMode, nullptr},
         {"appmode=1", "prefers", "dwm20=0", "dwm19=0"}},
        {"without 132", {module, &FakeRefresh, nullptr, &FakeAllow, &FakeAppMode, &FakeFlush}, untrusted},
        {"without 135", {module, &FakeRefresh, &FakePrefersDark, &FakeAllow, nullptr, &FakeFlush}, untrusted},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Reset({});
        ActivateDarkModeEntryPoints(c.fetched);
        RefreshMenuTheme(kWindow);
        EXPECT_EQ(g_calls, c.calls);
    }
}
