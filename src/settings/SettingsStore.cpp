#include "settings/SettingsStore.h"

#include <windows.h>

#include <cwchar>
#include <string>

#include "corners/CornerTracker.h"
#include "platform/Platform.h"
#include "settings/Provisioning.h"
#include "settings/Settings.h"
#include "startup/StartupShortcut.h"
#include "storage/Paths.h"
#include "ui/Language.h"

namespace {

constexpr const wchar_t* kTriggerSection = L"Trigger";
constexpr const wchar_t* kUiSection = L"UI";
constexpr const wchar_t* kGeneralSection = L"General";
constexpr const wchar_t* kLanguageKey = L"Language";
constexpr const wchar_t* kLegacyCornersKey = L"Corners";

constexpr size_t kWorkingTextUnits = 255;                  // old Corners and Language values: units examined
constexpr size_t kLanguageUnits = kLanguageCapacity - 1;   // units kept of the Language value
constexpr size_t kLanguageListCapacity = 89;               // units of the one-entry, double-zero-ended list

// Listed to the user and written to the file in this order.
constexpr Corner kCornersInFileOrder[] = {Corner::TopLeft, Corner::TopRight, Corner::BottomLeft,
                                          Corner::BottomRight};

LegacyCornerMask CornerBit(Corner corner) { return static_cast<LegacyCornerMask>(1u << static_cast<int>(corner)); }

// Reads a number as wcstol does in base 10: leading white space and a sign are accepted, reading
// stops at the first non-digit and values beyond 32 bits saturate (long is 32 bits on Windows).
// False when no digit was consumed.
bool ReadNumber(const std::wstring& text, long* number) {
    if (text.empty()) return false;
    wchar_t* end = nullptr;
    const long value = wcstol(text.c_str(), &end, 10);
    if (end == text.c_str()) return false;
    *number = value;
    return true;
}

int32_t ReadClampedNumber(const IniDocument& document, const wchar_t* key, int32_t fallback, int32_t low,
                          int32_t high) {
    long number = 0;
    if (!ReadNumber(document.GetValue(kTriggerSection, key, L""), &number)) return fallback;
    if (number < low) return low;
    if (number > high) return high;
    return static_cast<int32_t>(number);
}

// The Language value as the menu and the thread preference use it: trimmed, at most 63 units.
void ReadLanguage(const IniDocument& document, wchar_t (&language)[kLanguageCapacity]) {
    std::wstring value = document.GetValue(kUiSection, kLanguageKey, L"");
    if (value.size() > kWorkingTextUnits) value.resize(kWorkingTextUnits);
    value = TrimBlanks(value);
    if (value.size() > kLanguageUnits) value.resize(kLanguageUnits);
    wmemset(language, L'\0', kLanguageCapacity);
    wmemcpy(language, value.data(), value.size());
}

// Everything the file says, with the defaults for what it does not say.
void ReadSettings(const IniDocument& document, Settings& settings) {
    // A packaged first run starts with every corner off; an unpackaged one opens Task View top right.
    const bool packaged = IsPackagedRun();
    for (Corner corner : kCornersInFileOrder) {
        const wchar_t* fallback = (corner == Corner::TopRight && !packaged) ? L"TaskView" : L"Disabled";
        settings.*CornerField(corner) =
            ParseCornerAction(document.GetValue(kTriggerSection, CornerKeyName(corner), fallback).c_str());
    }
    settings.edgeZonePx =
        ReadClampedNumber(document, L"EdgeZonePx", kDefaultEdgeZonePx, kMinEdgeZonePx, kMaxEdgeZonePx);
    settings.cornerDwellMs = ReadClampedNumber(document, L"CornerDwellMs", kDefaultCornerDwellMs,
                                               kMinCornerDwellMs, kMaxCornerDwellMs);
    ReadLanguage(document, settings.language);
    long runAtStartup = 0;
    if (!ReadNumber(document.GetValue(kGeneralSection, L"RunAtStartup", L""), &runAtStartup)) runAtStartup = 0;
    settings.runAtStartup = runAtStartup != 0;
}

// No preference: the system's interface language applies to the thread.
void ClearThreadLanguage() { g_platform.setThreadPreferredUILanguages(0, nullptr, nullptr); }

void ApplyThreadLanguage(const wchar_t* language) {
    const LanguageAlias* row = FindLanguageAlias(language);
    if (!row) return ClearThreadLanguage();
    const size_t length = wcslen(row->tag);
    if (length + 2 >= kLanguageListCapacity) return ClearThreadLanguage();
    wchar_t list[kLanguageListCapacity] = {};  // the zeros after the tag end the list
    wmemcpy(list, row->tag, length);
    if (!g_platform.setThreadPreferredUILanguages(MUI_LANGUAGE_NAME, list, nullptr)) ClearThreadLanguage();
}

}  // namespace

void LoadSettings(bool applyRunAtStartup) {
    IniDocument document(GetConfigFilePath());
    // A missing file is fine (every value takes its default); an existing one that could not be read
    // is told apart below.
    document.Load();
    const bool unreadable = document.loadFailedOnExistingFile;
    MigrateLegacyCorners(document);

    // An existing file that cannot be read right now (another program holds it, or it grew too large)
    // says nothing about the user's choices. At start-up there is nothing better than the defaults, but
    // a reload keeps the values in memory rather than switching the user's corners to the defaults.
    if (!unreadable || applyRunAtStartup) ReadSettings(document, g_settings);

    // Only a choice actually read from the file may create or remove the Startup shortcut: the default
    // "off" from an unreadable file would delete a shortcut the user asked for.
    if (applyRunAtStartup && !unreadable) SetRunAtStartup(g_settings.runAtStartup);

    ApplyThreadLanguage(g_settings.language);
    // A changed zone or dwell time must take effect at once, not after the pointer's next corner visit.
    ResetCornerTracking();
}

void MigrateLegacyCorners(IniDocument& document) {
    // Never save over a file whose content was not read: the empty document would replace it.
    if (document.loadFailedOnExistingFile) return;
    if (!document.HasKey(kTriggerSection, kLegacyCornersKey)) return;
    // The per-corner keys win; Corners then stays in the file, ignored.
    if (document.HasKey(kTriggerSection, CornerKeyName(Corner::TopRight))) return;

    LegacyCornerMask mask = ParseLegacyCorners(document.GetValue(kTriggerSection, kLegacyCornersKey, L"").c_str());
    // An old file that named no corner we know had the one default corner.
    if (mask == 0) mask = CornerBit(Corner::TopRight);
    for (Corner corner : kCornersInFileOrder) {
        document.SetValue(kTriggerSection, CornerKeyName(corner),
                          (mask & CornerBit(corner)) ? L"TaskView" : L"Disabled");
    }
    // Corners is left as it was: the TopRight key now present keeps later loads from converting again.
    document.Save();
}

LegacyCornerMask ParseLegacyCorners(const wchar_t* text) {
    if (!text || !*text) return 0;
    struct Token {
        const wchar_t* longForm;
        const wchar_t* shortForm;
        Corner corner;
    };
    constexpr Token kTokens[] = {
        {L"BottomLeft", L"BL", Corner::BottomLeft},
        {L"TopRight", L"TR", Corner::TopRight},
        {L"TopLeft", L"TL", Corner::TopLeft},
        {L"BottomRight", L"BR", Corner::BottomRight},
    };
    const std::wstring working(text, wcsnlen(text, kWorkingTextUnits));
    LegacyCornerMask mask = 0;
    size_t start = 0;
    // Splitting at every comma gives empty pieces for doubled commas; they contribute nothing, which is
    // what treating a run of commas as one separator gives too.
    while (start <= working.size()) {
        size_t comma = working.find(L',', start);
        if (comma == std::wstring::npos) comma = working.size();
        const std::wstring token = TrimBlanks(working.substr(start, comma - start));
        for (const Token& known : kTokens) {
            if (!token.empty() &&
                (EqualsIgnoringAsciiCase(token, known.longForm) || EqualsIgnoringAsciiCase(token, known.shortForm))) {
                mask |= CornerBit(known.corner);
                break;
            }
        }
        start = comma + 1;
    }
    return mask;
}

void EnsureLanguageKey() {
    IniDocument document(GetConfigFilePath());
    document.Load();
    // An unreadable file is left alone; the key is added at a later start.
    if (document.loadFailedOnExistingFile) return;
    if (document.HasKey(kUiSection, kLanguageKey)) return;
    document.SetValue(kUiSection, kLanguageKey, L"");
    document.Save();
}

void StoreSetting(const wchar_t* section, const wchar_t* key, const wchar_t* text) {
    if (!section || !key || !text) return;
    // A file deleted while the program ran is provisioned again before the change goes into it.
    EnsureConfigFile();
    IniDocument document(GetConfigFilePath());
    document.Load();
    // Saving the empty document of an unreadable file would replace every other setting with this one
    // key. The change lives in memory only, until a load reads the file again.
    if (document.loadFailedOnExistingFile) return;
    document.SetValue(section, key, text);
    document.Save();
}
