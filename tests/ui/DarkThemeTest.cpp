#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "support/TestSupport.h"
#include "ui/DarkTheme.h"

namespace {

std::string g_calls;  // what the fakes below were asked, in order
// What uxtheme's 132 answers, and the AppsUseLightTheme value with the status it is read with.
struct Answers { BOOL uxDark = FALSE; LSTATUS status = ERROR_SUCCESS; DWORD light = 1; } g_answers;
const HWND kWindow = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x4242));

void WINAPI FakeRefresh() { g_calls += "refresh "; }
BOOL WINAPI FakePrefersDark() { return g_calls += "prefers ", g_answers.uxDark; }
BOOL WINAPI FakeAllow(HWND, BOOL allow) { return g_calls += "allow=" + std::to_string(allow) + " ", TRUE; }
int WINAPI FakeAppMode(int mode) { return g_calls += "appmode=" + std::to_string(mode) + " ", 0; }
void WINAPI FakeFlush() { g_calls += "flush "; }

// Ordinal 132 returns a one-byte bool; the rest of the register is whatever the export left there. The entry
// points are trusted only as a set with 132 and 135: otherwise the ordinals may be unrelated exports (104 is
// one on Wine) and none may be called. Only a colour-set change refreshes and flushes; every change re-applies.
TEST(DarkTheme, UxthemeOrElseTheRegistryDecidesAndDwmAttributes20And19CarryIt) {
    PlatformGuard platform;
    const DarkModeEntryPoints saved = g_darkMode;
    g_platform.regGetValueW = [](HKEY key, LPCWSTR subkey, LPCWSTR name, DWORD, LPDWORD, PVOID data, LPDWORD) {
        const bool ours = key == HKEY_CURRENT_USER && !lstrcmpW(name, L"AppsUseLightTheme") &&
                          !lstrcmpW(subkey, L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize");
        g_calls += ours ? "registry " : "another registry value ";
        if (g_answers.status == ERROR_SUCCESS) *static_cast<DWORD*>(data) = g_answers.light;
        return g_answers.status;
    };
    g_platform.dwmSetWindowAttribute = [](HWND window, DWORD attribute, LPCVOID data, DWORD) -> HRESULT {
        g_calls += "dwm" + std::to_string(attribute) + "=" + std::to_string(*static_cast<const BOOL*>(data)) +
                   (window == kWindow ? " " : "? ");
        return S_OK;
    };
    const HMODULE module = reinterpret_cast<HMODULE>(0x10000);
    const DarkModeEntryPoints all{module, &FakeRefresh, &FakePrefersDark, &FakeAllow, &FakeAppMode, &FakeFlush},
        without132{module, &FakeRefresh, nullptr, &FakeAllow, &FakeAppMode, &FakeFlush},
        without135{module, &FakeRefresh, &FakePrefersDark, &FakeAllow, nullptr, &FakeFlush},
        only132And135{module, nullptr, &FakePrefersDark, nullptr, &FakeAppMode, nullptr};
    const wchar_t* kColourSet = L"iMMERSIVECOLORsET";
    struct Case { DarkModeEntryPoints fetched; Answers answers; const wchar_t* change; const char* calls; };
    const Case cases[] = {
        {all, {TRUE}, kColourSet, "refresh appmode=1 refresh flush prefers allow=1 dwm20=1 dwm19=1 "},
        {all, {0x5A5A5A00}, nullptr, "refresh appmode=1 prefers allow=0 dwm20=0 dwm19=0 "},
        {all, {static_cast<BOOL>(0xA5A5A501)}, nullptr, "refresh appmode=1 prefers allow=1 dwm20=1 dwm19=1 "},
        {all, {}, L"ImmersiveColorSetX", "refresh appmode=1 prefers allow=0 dwm20=0 dwm19=0 "},
        {only132And135, {TRUE}, kColourSet, "appmode=1 prefers dwm20=1 dwm19=1 "},
        {without132, {TRUE, ERROR_SUCCESS, 0}, kColourSet, "registry dwm20=1 dwm19=1 "},
        {without135, {TRUE, ERROR_SUCCESS, 1}, kColourSet, "registry dwm20=0 dwm19=0 "},
        {{}, {TRUE, ERROR_FILE_NOT_FOUND, 0}, nullptr, "registry dwm20=0 dwm19=0 "},  // no value: light
    };
    for (const Case& c : cases) {
        g_calls.clear();
        g_answers = c.answers;
        ActivateDarkModeEntryPoints(c.fetched);
        OnThemeSettingChange(kWindow, reinterpret_cast<LPARAM>(c.change));
        EXPECT_EQ(g_calls, c.calls) << &c - cases;
    }
    g_darkMode = saved;
}

}  // namespace
