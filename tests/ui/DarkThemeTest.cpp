#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "support/TestSupport.h"
#include "ui/DarkTheme.h"

namespace {

// Everything the fakes below are asked, in order, as short readable entries.
std::vector<std::string> g_calls;
BOOL g_prefersDark = FALSE;
HWND g_allowedWindow = nullptr;
LSTATUS g_registryStatus = ERROR_SUCCESS;
DWORD g_registryValue = 1;
bool g_registryWritesOnFailure = false;

void WINAPI FakeColorPolicyRefresh() { g_calls.push_back("refresh"); }
BOOL WINAPI FakeSystemPrefersDark() {
    g_calls.push_back("prefers");
    return g_prefersDark;
}
BOOL WINAPI FakeWindowDarkAllow(HWND window, BOOL allow) {
    g_allowedWindow = window;
    g_calls.push_back("allow=" + std::to_string(allow));
    return TRUE;
}
int WINAPI FakeAppModeSet(int mode) {
    g_calls.push_back("appmode=" + std::to_string(mode));
    return 0;
}
void WINAPI FakeMenuThemeFlush() { g_calls.push_back("flush"); }

LSTATUS WINAPI FakeRegGetValueW(HKEY key, LPCWSTR subkey, LPCWSTR name, DWORD flags, LPDWORD type, PVOID data,
                                LPDWORD size) {
    g_calls.push_back("registry");
    EXPECT_EQ(key, HKEY_CURRENT_USER);
    EXPECT_STREQ(subkey, L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize");
    EXPECT_STREQ(name, L"AppsUseLightTheme");
    EXPECT_EQ(flags, static_cast<DWORD>(RRF_RT_REG_DWORD));
    EXPECT_EQ(type, nullptr);
    EXPECT_NE(data, nullptr);
    EXPECT_EQ(*size, sizeof(DWORD));
    if (g_registryStatus != ERROR_SUCCESS && !g_registryWritesOnFailure) return g_registryStatus;
    *static_cast<DWORD*>(data) = g_registryValue;
    return g_registryStatus;
}

HWND g_dwmWindow = nullptr;
HRESULT WINAPI FakeDwmSetWindowAttribute(HWND window, DWORD attribute, LPCVOID data, DWORD size) {
    g_dwmWindow = window;
    EXPECT_EQ(size, sizeof(BOOL));
    g_calls.push_back("dwm" + std::to_string(attribute) + "=" + std::to_string(*static_cast<const BOOL*>(data)));
    return S_OK;
}

// Restores the process-wide entry points and the platform record; starts every test with fakes.
struct ThemeFixture : ::testing::Test {
    PlatformGuard platform;
    DarkModeEntryPoints savedEntryPoints = g_darkMode;

    void SetUp() override {
        g_calls.clear();
        g_prefersDark = FALSE;
        g_allowedWindow = nullptr;
        g_dwmWindow = nullptr;
        g_registryStatus = ERROR_SUCCESS;
        g_registryValue = 1;
        g_registryWritesOnFailure = false;
        g_platform.regGetValueW = &FakeRegGetValueW;
        g_platform.dwmSetWindowAttribute = &FakeDwmSetWindowAttribute;
        g_darkMode = {};
    }
    void TearDown() override { g_darkMode = savedEntryPoints; }
};

void UseAllFakeEntryPoints() {
    g_darkMode.module = reinterpret_cast<HMODULE>(0x10000);
    g_darkMode.colorPolicyRefresh = &FakeColorPolicyRefresh;
    g_darkMode.systemPrefersDark = &FakeSystemPrefersDark;
    g_darkMode.windowDarkAllow = &FakeWindowDarkAllow;
    g_darkMode.appModeSet = &FakeAppModeSet;
    g_darkMode.menuThemeFlush = &FakeMenuThemeFlush;
}

const HWND kWindow = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x4242));

using Calls = std::vector<std::string>;

}  // namespace

struct ThemeDecisionCase {
    const char* name;
    bool entryPoints;
    BOOL prefersDark;
    LSTATUS registryStatus;
    DWORD registryValue;
    bool registryWritesOnFailure;
    Calls expected;
};

TEST_F(ThemeFixture, ApplyWindowThemeDecidesFromUxthemeOrRegistryAndSetsBothDwmAttributes) {
    const ThemeDecisionCase cases[] = {
        {"uxtheme dark", true, TRUE, ERROR_SUCCESS, 1, false, {"prefers", "allow=1", "dwm20=1", "dwm19=1"}},
        {"uxtheme light", true, FALSE, ERROR_SUCCESS, 0, false, {"prefers", "allow=0", "dwm20=0", "dwm19=0"}},
        {"uxtheme any nonzero is dark", true, 7, ERROR_SUCCESS, 1, false, {"prefers", "allow=1", "dwm20=1", "dwm19=1"}},
        {"registry 0 is dark", false, FALSE, ERROR_SUCCESS, 0, false, {"registry", "dwm20=1", "dwm19=1"}},
        {"registry 1 is light", false, FALSE, ERROR_SUCCESS, 1, false, {"registry", "dwm20=0", "dwm19=0"}},
        {"registry 2 is light", false, FALSE, ERROR_SUCCESS, 2, false, {"registry", "dwm20=0", "dwm19=0"}},
        {"value absent is light", false, FALSE, ERROR_FILE_NOT_FOUND, 0, false, {"registry", "dwm20=0", "dwm19=0"}},
        {"not a DWORD is light", false, FALSE, ERROR_UNSUPPORTED_TYPE, 0, false, {"registry", "dwm20=0", "dwm19=0"}},
        // The outcome of the read decides before the buffer does.
        {"failed read with a zeroed buffer is light", false, FALSE, ERROR_MORE_DATA, 0, true,
         {"registry", "dwm20=0", "dwm19=0"}},
    };
    for (const ThemeDecisionCase& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        if (c.entryPoints) UseAllFakeEntryPoints();
        g_prefersDark = c.prefersDark;
        g_registryStatus = c.registryStatus;
        g_registryValue = c.registryValue;
        g_registryWritesOnFailure = c.registryWritesOnFailure;

        ApplyWindowTheme(kWindow);

        EXPECT_EQ(g_calls, c.expected);
        EXPECT_EQ(g_dwmWindow, kWindow);
        if (c.entryPoints) {
            EXPECT_EQ(g_allowedWindow, kWindow);
        }
    }
}

TEST_F(ThemeFixture, ApplyWindowThemeWithoutWindowAllowSkipsOnlyThatCall) {
    UseAllFakeEntryPoints();
    g_darkMode.windowDarkAllow = nullptr;
    g_prefersDark = TRUE;
    ApplyWindowTheme(kWindow);
    EXPECT_EQ(g_calls, (Calls{"prefers", "dwm20=1", "dwm19=1"}));
}

TEST_F(ThemeFixture, NullWindowIsLeftAloneWithoutEvenReadingTheRegistry) {
    ApplyWindowTheme(nullptr);
    EXPECT_TRUE(g_calls.empty());
    UseAllFakeEntryPoints();
    ApplyWindowTheme(nullptr);
    EXPECT_TRUE(g_calls.empty());
}

struct SettingChangeCase {
    const wchar_t* area;  // null: a WM_SETTINGCHANGE without text
    bool refreshes;
};

TEST_F(ThemeFixture, OnlyAColourSetChangeRefreshesAndFlushesButEveryChangeReapplies) {
    const SettingChangeCase cases[] = {
        {L"ImmersiveColorSet", true},   {L"immersivecolorset", true}, {L"IMMERSIVECOLORSET", true},
        {L"iMmErSiVeCoLoRsEt", true},   {L"Policy", false},           {L"intl", false},
        {L"ImmersiveColorSetX", false}, {L"ImmersiveColor", false},   {L"", false},
        {nullptr, false},
    };
    for (const SettingChangeCase& c : cases) {
        SCOPED_TRACE(c.area ? Utf8(c.area) : std::string("(null lParam)"));
        SetUp();
        UseAllFakeEntryPoints();
        g_prefersDark = TRUE;

        OnThemeSettingChange(kWindow, reinterpret_cast<LPARAM>(c.area));

        Calls expected;
        if (c.refreshes) expected = {"refresh", "flush"};
        for (const char* call : {"prefers", "allow=1", "dwm20=1", "dwm19=1"}) expected.push_back(call);
        EXPECT_EQ(g_calls, expected);
        EXPECT_EQ(g_dwmWindow, kWindow);
    }
}

TEST_F(ThemeFixture, ColourSetChangeWithoutEntryPointsOnlyReappliesFromTheRegistry) {
    g_registryValue = 0;
    OnThemeSettingChange(kWindow, reinterpret_cast<LPARAM>(L"ImmersiveColorSet"));
    EXPECT_EQ(g_calls, (Calls{"registry", "dwm20=1", "dwm19=1"}));
}

TEST_F(ThemeFixture, MenuRefreshRunsPolicyRefreshThemeThenFlush) {
    UseAllFakeEntryPoints();
    RefreshMenuTheme(kWindow);
    EXPECT_EQ(g_calls, (Calls{"refresh", "prefers", "allow=0", "dwm20=0", "dwm19=0", "flush"}));

    SetUp();
    g_registryValue = 0;
    RefreshMenuTheme(kWindow);
    EXPECT_EQ(g_calls, (Calls{"registry", "dwm20=1", "dwm19=1"}));
}

// Every combination of fetched ordinals: the set counts only with 132 and 135 in it. On a system
// without them (Wine), 104 names an unrelated export that must never be called.
TEST_F(ThemeFixture, EntryPointsAreTrustedOnlyAsASetWith132And135) {
    for (int mask = 0; mask < 32; ++mask) {
        SCOPED_TRACE("present mask " + std::to_string(mask));
        SetUp();
        DarkModeEntryPoints fetched;
        fetched.module = reinterpret_cast<HMODULE>(0x10000);
        if (mask & 1) fetched.colorPolicyRefresh = &FakeColorPolicyRefresh;
        if (mask & 2) fetched.systemPrefersDark = &FakeSystemPrefersDark;
        if (mask & 4) fetched.windowDarkAllow = &FakeWindowDarkAllow;
        if (mask & 8) fetched.appModeSet = &FakeAppModeSet;
        if (mask & 16) fetched.menuThemeFlush = &FakeMenuThemeFlush;
        const bool trusted = (mask & 2) && (mask & 8);

        DarkModeEntryPoints kept = TrustedDarkModeEntryPoints(fetched);
        EXPECT_EQ(kept.module, fetched.module);
        EXPECT_EQ(kept.colorPolicyRefresh, trusted ? fetched.colorPolicyRefresh : nullptr);
        EXPECT_EQ(kept.systemPrefersDark, trusted ? fetched.systemPrefersDark : nullptr);
        EXPECT_EQ(kept.windowDarkAllow, trusted ? fetched.windowDarkAllow : nullptr);
        EXPECT_EQ(kept.appModeSet, trusted ? fetched.appModeSet : nullptr);
        EXPECT_EQ(kept.menuThemeFlush, trusted ? fetched.menuThemeFlush : nullptr);

        // Start-up: the policy refresh (if fetched) and the app mode "follow the system", or nothing.
        ActivateDarkModeEntryPoints(fetched);
        Calls expected;
        if (trusted && (mask & 1)) expected.push_back("refresh");
        if (trusted) expected.push_back("appmode=1");
        EXPECT_EQ(g_calls, expected);
        EXPECT_EQ(g_darkMode.colorPolicyRefresh, kept.colorPolicyRefresh);
        EXPECT_EQ(g_darkMode.menuThemeFlush, kept.menuThemeFlush);

        // And later theme work uses the registry whenever the set was dropped.
        g_calls.clear();
        RefreshMenuTheme(kWindow);
        Calls menu;
        if (trusted && (mask & 1)) menu.push_back("refresh");
        menu.push_back(trusted ? "prefers" : "registry");
        if (trusted && (mask & 4)) menu.push_back("allow=0");
        for (const char* call : {"dwm20=0", "dwm19=0"}) menu.push_back(call);
        if (trusted && (mask & 16)) menu.push_back("flush");
        EXPECT_EQ(g_calls, menu);
    }
}

namespace {

int g_loadAttempts = 0;
int g_loadSucceedsOnAttempt = 0;  // 0: never
std::vector<WORD> g_fetchedOrdinals;
WORD g_missingOrdinal = 0;
const HMODULE kFakeModule = reinterpret_cast<HMODULE>(0x20000);

HMODULE FakeLoad() {
    ++g_loadAttempts;
    return g_loadSucceedsOnAttempt != 0 && g_loadAttempts >= g_loadSucceedsOnAttempt ? kFakeModule : nullptr;
}

FARPROC FakeFetch(HMODULE module, WORD ordinal) {
    EXPECT_EQ(module, kFakeModule);
    g_fetchedOrdinals.push_back(ordinal);
    if (ordinal == g_missingOrdinal) return nullptr;
    // Distinct, recognisable addresses per ordinal.
    return reinterpret_cast<FARPROC>(static_cast<INT_PTR>(0x100000 + ordinal));
}

template <class Function>
INT_PTR Address(Function function) {
    return reinterpret_cast<INT_PTR>(reinterpret_cast<void*>(function));
}

}  // namespace

struct FetchCase {
    const char* name;
    HMODULE cached;
    int loadSucceedsOnAttempt;
    WORD missingOrdinal;
    int expectedLoads;
    std::vector<WORD> expectedFetches;
};

TEST(DarkModeFetch, OrdinalsAreFetchedInOrderAndTheLoadIsRetriedWhileTheModuleIsMissing) {
    const FetchCase cases[] = {
        {"module already loaded", kFakeModule, 0, 0, 0, {104, 132, 133, 135, 136}},
        {"first load works", nullptr, 1, 0, 1, {104, 132, 133, 135, 136}},
        {"third load works", nullptr, 3, 0, 3, {133, 135, 136}},
        {"last chance works", nullptr, 5, 0, 5, {136}},
        {"never loads", nullptr, 0, 0, 5, {}},
        {"one ordinal missing", kFakeModule, 0, 132, 0, {104, 132, 133, 135, 136}},
    };
    for (const FetchCase& c : cases) {
        SCOPED_TRACE(c.name);
        g_loadAttempts = 0;
        g_loadSucceedsOnAttempt = c.loadSucceedsOnAttempt;
        g_missingOrdinal = c.missingOrdinal;
        g_fetchedOrdinals.clear();

        DarkModeEntryPoints fetched = FetchDarkModeEntryPoints(c.cached, &FakeLoad, &FakeFetch);

        EXPECT_EQ(g_loadAttempts, c.expectedLoads);
        EXPECT_EQ(g_fetchedOrdinals, c.expectedFetches);
        EXPECT_EQ(fetched.module, c.expectedFetches.empty() ? nullptr : kFakeModule);
        auto expectedAddress = [&](WORD ordinal) -> INT_PTR {
            bool wasFetched = false;
            for (WORD o : c.expectedFetches) wasFetched |= o == ordinal;
            return wasFetched && ordinal != c.missingOrdinal ? 0x100000 + ordinal : 0;
        };
        EXPECT_EQ(Address(fetched.colorPolicyRefresh), expectedAddress(104));
        EXPECT_EQ(Address(fetched.systemPrefersDark), expectedAddress(132));
        EXPECT_EQ(Address(fetched.windowDarkAllow), expectedAddress(133));
        EXPECT_EQ(Address(fetched.appModeSet), expectedAddress(135));
        EXPECT_EQ(Address(fetched.menuThemeFlush), expectedAddress(136));
    }
}

namespace {

bool RunningUnderWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

}  // namespace

// Wine's uxtheme lacks 132 and 135 while exporting something else as 104: the real load must
// keep nothing (so nothing is called) and the theme must come from the registry afterwards.
TEST_F(ThemeFixture, RealUxthemeUnderWineYieldsNoEntryPoints) {
    if (!RunningUnderWine()) GTEST_SKIP() << "Wine's uxtheme only";
    HMODULE uxtheme = LoadLibraryExW(L"uxtheme.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    ASSERT_NE(uxtheme, nullptr);
    ASSERT_EQ(GetProcAddress(uxtheme, MAKEINTRESOURCEA(132)), nullptr);
    ASSERT_EQ(GetProcAddress(uxtheme, MAKEINTRESOURCEA(135)), nullptr);

    LoadDarkModeEntryPoints();

    EXPECT_EQ(g_darkMode.module, uxtheme);
    EXPECT_EQ(g_darkMode.colorPolicyRefresh, nullptr);
    EXPECT_EQ(g_darkMode.systemPrefersDark, nullptr);
    EXPECT_EQ(g_darkMode.windowDarkAllow, nullptr);
    EXPECT_EQ(g_darkMode.appModeSet, nullptr);
    EXPECT_EQ(g_darkMode.menuThemeFlush, nullptr);

    g_registryValue = 0;
    OnThemeSettingChange(kWindow, reinterpret_cast<LPARAM>(L"ImmersiveColorSet"));
    EXPECT_EQ(g_calls, (Calls{"registry", "dwm20=1", "dwm19=1"}));
    FreeLibrary(uxtheme);
}
