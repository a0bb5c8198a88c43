#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "support/TestSupport.h"
#include "ui/DarkTheme.h"

namespace {

using Calls = std::vector<std::string>;
Calls g_calls;  // what the fakes below were asked, in order
BOOL g_prefersDark = FALSE;
LSTATUS g_registryStatus = ERROR_SUCCESS;
DWORD g_appsUseLightTheme = 1;
const HWND kWindow = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x4242));

void WINAPI FakeRefresh() { g_calls.push_back("refresh"); }
BOOL WINAPI FakePrefersDark() { return g_calls.push_back("prefers"), g_prefersDark; }
BOOL WINAPI FakeAllow(HWND, BOOL allow) { return g_calls.push_back("allow=" + std::to_string(allow)), TRUE; }
int WINAPI FakeAppMode(int mode) { return g_calls.push_back("appmode=" + std::to_string(mode)), 0; }
void WINAPI FakeFlush() { g_calls.push_back("flush"); }

LSTATUS WINAPI FakeRegGetValueW(HKEY key, LPCWSTR subkey, LPCWSTR name, DWORD, LPDWORD, PVOID data, LPDWORD) {
    g_calls.push_back("registry");
    EXPECT_EQ(key, HKEY_CURRENT_USER);
    EXPECT_STREQ(subkey, L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize");
    EXPECT_STREQ(name, L"AppsUseLightTheme");
    if (g_registryStatus == ERROR_SUCCESS) *static_cast<DWORD*>(data) = g_appsUseLightTheme;
    return g_registryStatus;
}

HRESULT WINAPI FakeDwmSetWindowAttribute(HWND window, DWORD attribute, LPCVOID data, DWORD) {
    EXPECT_EQ(window, kWindow);
    g_calls.push_back("dwm" + std::to_string(attribute) + "=" + std::to_string(*static_cast<const BOOL*>(data)));
    return S_OK;
}

DarkModeEntryPoints AllFakes() {
    return {reinterpret_cast<HMODULE>(0x10000), &FakeRefresh, &FakePrefersDark, &FakeAllow, &FakeAppMode, &FakeFlush};
}

struct ThemeTest : ::testing::Test {
    PlatformGuard platform;
    DarkModeEntryPoints saved = g_darkMode;
    void SetUp() override {
        g_platform.regGetValueW = &FakeRegGetValueW;
        g_platform.dwmSetWindowAttribute = &FakeDwmSetWindowAttribute;
        Reset(false);
    }
    void TearDown() override { g_darkMode = saved; }
    void Reset(bool entryPoints) {
        g_calls.clear();
        g_prefersDark = FALSE;
        g_registryStatus = ERROR_SUCCESS;
        g_appsUseLightTheme = 1;
        g_darkMode = entryPoints ? AllFakes() : DarkModeEntryPoints{};
    }
};

}  // namespace

TEST_F(ThemeTest, ThemeIsDecidedByUxthemeOrElseTheRegistryAndSetAsDwmAttributes20Then19) {
    // uxDark: what uxtheme answers; light: AppsUseLightTheme as read with `status`.
    struct Case { const char* name; bool uxtheme; HWND window; BOOL uxDark; LSTATUS status; DWORD light; Calls calls; };
    const Case cases[] = {
        {"uxtheme dark", true, kWindow, TRUE, ERROR_SUCCESS, 1, {"prefers", "allow=1", "dwm20=1", "dwm19=1"}},
        {"uxtheme light", true, kWindow, FALSE, ERROR_SUCCESS, 0, {"prefers", "allow=0", "dwm20=0", "dwm19=0"}},
        {"registry 0 is dark", false, kWindow, TRUE, ERROR_SUCCESS, 0, {"registry", "dwm20=1", "dwm19=1"}},
        {"registry 1 is light", false, kWindow, TRUE, ERROR_SUCCESS, 1, {"registry", "dwm20=0", "dwm19=0"}},
        {"value absent is light", false, kWindow, TRUE, ERROR_FILE_NOT_FOUND, 0, {"registry", "dwm20=0", "dwm19=0"}},
        {"null window, uxtheme", true, nullptr, TRUE, ERROR_SUCCESS, 0, {}},
        {"null window, registry", false, nullptr, TRUE, ERROR_SUCCESS, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Reset(c.uxtheme);
        g_prefersDark = c.uxDark;
        g_registryStatus = c.status;
        g_appsUseLightTheme = c.light;
        ApplyWindowTheme(c.window);
        EXPECT_EQ(g_calls, c.calls);
    }
}

TEST_F(ThemeTest, OnlyAColourSetChangeRefreshesAndFlushesButEveryChangeReapplies) {
    const std::pair<const wchar_t*, bool> cases[] = {
        {L"ImmersiveColorSet", true}, {L"iMMERSIVECOLORsET", true}, {L"Policy", false},
        {L"ImmersiveColorSetX", false}, {L"", false},            {nullptr, false},
    };
    for (const auto& [area, refreshes] : cases) {
        SCOPED_TRACE(area ? Utf8(area) : "null lParam");
        Reset(true);
        OnThemeSettingChange(kWindow, reinterpret_cast<LPARAM>(area));
        Calls expected = refreshes ? Calls{"refresh", "flush"} : Calls{};
        for (const char* call : {"prefers", "allow=0", "dwm20=0", "dwm19=0"}) expected.push_back(call);
        EXPECT_EQ(g_calls, expected);
    }
}

// Every subset of fetched ordinals: without 132 and 135 the others may be unrelated exports
// (104 is one on Wine), so start-up and later menu theming must call none of them.
TEST_F(ThemeTest, EntryPointsAreTrustedOnlyAsASetWith132And135) {
    for (int mask = 0; mask < 32; ++mask) {
        SCOPED_TRACE("present mask " + std::to_string(mask));
        Reset(false);
        DarkModeEntryPoints fetched = AllFakes();
        if (!(mask & 1)) fetched.colorPolicyRefresh = nullptr;
        if (!(mask & 2)) fetched.systemPrefersDark = nullptr;
        if (!(mask & 4)) fetched.windowDarkAllow = nullptr;
        if (!(mask & 8)) fetched.appModeSet = nullptr;
        if (!(mask & 16)) fetched.menuThemeFlush = nullptr;
        const bool trusted = (mask & 2) && (mask & 8);
        const auto has = [&](int bit) { return trusted && (mask & bit); };

        ActivateDarkModeEntryPoints(fetched);
        RefreshMenuTheme(kWindow);

        Calls expected;
        if (has(1)) expected.push_back("refresh");
        if (trusted) expected.push_back("appmode=1");
        if (has(1)) expected.push_back("refresh");
        expected.push_back(trusted ? "prefers" : "registry");
        if (has(4)) expected.push_back("allow=0");
        for (const char* call : {"dwm20=0", "dwm19=0"}) expected.push_back(call);
        if (has(16)) expected.push_back("flush");
        EXPECT_EQ(g_calls, expected);
    }
}

// Wine's uxtheme lacks 132 and 135 while exporting something else as 104.
TEST_F(ThemeTest, RealUxthemeUnderWineYieldsNoEntryPoints) {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (!GetProcAddress(ntdll, "wine_get_version")) GTEST_SKIP() << "Wine's uxtheme only";
    LoadDarkModeEntryPoints();
    EXPECT_EQ(g_darkMode.colorPolicyRefresh, nullptr);
    EXPECT_EQ(g_darkMode.systemPrefersDark, nullptr);
    EXPECT_EQ(g_darkMode.windowDarkAllow, nullptr);
    EXPECT_EQ(g_darkMode.appModeSet, nullptr);
    EXPECT_EQ(g_darkMode.menuThemeFlush, nullptr);
}
