#include "ui/DarkTheme.h"

#include "platform/Platform.h"

DarkModeEntryPoints g_darkMode;

namespace {

// The ordinals in the order they are fetched.
constexpr WORD kColorPolicyRefreshOrdinal = 104;
constexpr WORD kSystemPrefersDarkOrdinal = 132;
constexpr WORD kWindowDarkAllowOrdinal = 133;
constexpr WORD kAppModeSetOrdinal = 135;
constexpr WORD kMenuThemeFlushOrdinal = 136;

// Ordinal 132 returns a C++ bool: only the low byte of the return register is defined, the rest is
// whatever the export last left there.
constexpr unsigned kBoolByte = 0xFF;

// Preferred app mode "follow the system setting".
constexpr int kAppModeFollowSystem = 1;

// DWMWA_USE_IMMERSIVE_DARK_MODE, and the number the same attribute had before Windows 10 20H1.
constexpr DWORD kDwmDarkModeAttribute = 20;
constexpr DWORD kDwmDarkModeAttributeBefore20H1 = 19;

constexpr wchar_t kPersonalizeKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
constexpr wchar_t kAppsUseLightTheme[] = L"AppsUseLightTheme";
constexpr wchar_t kImmersiveColorSet[] = L"ImmersiveColorSet";

HMODULE LoadUxTheme() { return LoadSystemDll(L"uxtheme.dll"); }

FARPROC FetchOrdinal(HMODULE module, WORD ordinal) { return GetProcAddress(module, MAKEINTRESOURCEA(ordinal)); }

// FARPROC to the entry point's own type; through void* so GCC accepts the unrelated signature.
template <class Function>
void Assign(Function* target, FARPROC proc) {
    *target = reinterpret_cast<Function>(reinterpret_cast<void*>(proc));
}

// The app mode as the registry states it; used where uxtheme cannot tell. An unreadable value
// (absent, or not a DWORD) counts as light, the mode every window starts in.
bool RegistrySaysDark() {
    DWORD value = 1;
    DWORD size = sizeof(value);
    LSTATUS status = g_platform.regGetValueW(HKEY_CURRENT_USER, kPersonalizeKey, kAppsUseLightTheme, RRF_RT_REG_DWORD,
                                             nullptr, &value, &size);
    return status == ERROR_SUCCESS && value == 0;
}

bool SystemPrefersDark() {
    if (g_darkMode.systemPrefersDark) return (static_cast<unsigned>(g_darkMode.systemPrefersDark()) & kBoolByte) != 0;
    return RegistrySaysDark();
}

void RefreshColorPolicy() {
    if (g_darkMode.colorPolicyRefresh) g_darkMode.colorPolicyRefresh();
}

void FlushMenuTheme() {
    if (g_darkMode.menuThemeFlush) g_darkMode.menuThemeFlush();
}

}  // namespace

DarkModeEntryPoints FetchDarkModeEntryPoints(HMODULE cached, ThemeModuleLoader load, ThemeOrdinalFetcher fetch) {
    DarkModeEntryPoints fetched;
    fetched.module = cached;
    auto next = [&](WORD ordinal) -> FARPROC {
        if (!fetched.module) fetched.module = load();
        return fetched.module ? fetch(fetched.module, ordinal) : nullptr;
    };
    Assign(&fetched.colorPolicyRefresh, next(kColorPolicyRefreshOrdinal));
    Assign(&fetched.systemPrefersDark, next(kSystemPrefersDarkOrdinal));
    Assign(&fetched.windowDarkAllow, next(kWindowDarkAllowOrdinal));
    Assign(&fetched.appModeSet, next(kAppModeSetOrdinal));
    Assign(&fetched.menuThemeFlush, next(kMenuThemeFlushOrdinal));
    return fetched;
}

DarkModeEntryPoints TrustedDarkModeEntryPoints(const DarkModeEntryPoints& fetched) {
    if (fetched.systemPrefersDark && fetched.appModeSet) return fetched;
    DarkModeEntryPoints none;
    none.module = fetched.module;
    return none;
}

void ActivateDarkModeEntryPoints(const DarkModeEntryPoints& fetched) {
    g_darkMode = TrustedDarkModeEntryPoints(fetched);
    RefreshColorPolicy();
    if (g_darkMode.appModeSet) g_darkMode.appModeSet(kAppModeFollowSystem);
}

void LoadDarkModeEntryPoints() {
    ActivateDarkModeEntryPoints(FetchDarkModeEntryPoints(g_darkMode.module, &LoadUxTheme, &FetchOrdinal));
}

void ApplyWindowTheme(HWND window) {
    if (!window) return;
    BOOL dark = SystemPrefersDark() ? TRUE : FALSE;
    if (g_darkMode.windowDarkAllow) g_darkMode.windowDarkAllow(window, dark);
    // Both numbers: builds before 20H1 know the attribute only as 19. Failures change nothing visible.
    g_platform.dwmSetWindowAttribute(window, kDwmDarkModeAttribute, &dark, sizeof(dark));
    g_platform.dwmSetWindowAttribute(window, kDwmDarkModeAttributeBefore20H1, &dark, sizeof(dark));
}

void OnThemeSettingChange(HWND window, LPARAM lParam) {
    const auto* area = reinterpret_cast<const wchar_t*>(lParam);
    // Only a colour-set change makes cached menu theme data stale; other changes just re-apply.
    if (area && lstrcmpiW(area, kImmersiveColorSet) == 0) {
        RefreshColorPolicy();
        FlushMenuTheme();
    }
    ApplyWindowTheme(window);
}

void RefreshMenuTheme(HWND owner) {
    RefreshColorPolicy();
    ApplyWindowTheme(owner);
    FlushMenuTheme();
}
