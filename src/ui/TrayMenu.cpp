#include "ui/TrayMenu.h"

#include <algorithm>
#include <iterator>

#include "corners/CaptureLaunch.h"
#include "corners/CornerTracker.h"
#include "platform/Platform.h"
#include "settings/Companions.h"
#include "settings/SettingsStore.h"
#include "startup/StartupShortcut.h"
#include "ui/AboutWindow.h"
#include "ui/DarkTheme.h"

namespace {

// TPM_RETURNCMD | TPM_NONOTIFY | TPM_BOTTOMALIGN | TPM_RIGHTBUTTON | TPM_RECURSE (0x1A3): the choice comes
// back as the result instead of a WM_COMMAND sent from inside the modal loop, the menu's bottom-left corner
// sits at the pointer, and a request that arrives while a menu is open may open another one.
constexpr UINT kTrackFlags = TPM_RETURNCMD | TPM_NONOTIFY | TPM_BOTTOMALIGN | TPM_RIGHTBUTTON | TPM_RECURSE;
static_assert(kTrackFlags == 0x1A3);

constexpr WORD kCornerBlockSize = 20;    // identifiers reserved per corner
constexpr WORD kCornerLast = 1179;       // last identifier of the bottom-right block
constexpr size_t kNumberTextCapacity = 32;  // "%d" of a stored number, terminator included

constexpr int kZoneValuesPx[] = {4, 6, 8, 10, 12, 14, 16, 18, 20, 24};  // pixels at 96 DPI
constexpr int kDwellValuesMs[] = {300, 350, 400, 450, 500, 600, 700, 800, 900, 1000};  // milliseconds
constexpr WORD kValueListLength = 10;
static_assert(std::size(kZoneValuesPx) == kValueListLength && std::size(kDwellValuesMs) == kValueListLength);

// Position in a corner block -> action. Not CornerAction order: the companions follow Task View and the
// capture modes come last, with Scroll added after the others. Both directions go through this table.
constexpr CornerAction kActionAtOffset[] = {
    CornerAction::TaskView,       CornerAction::Loftmoor,           CornerAction::Notchling,
    CornerAction::Disabled,       CornerAction::FramwickRegion,     CornerAction::FramwickWindow,
    CornerAction::FramwickFullscreen, CornerAction::FramwickFreeform, CornerAction::FramwickOcr,
    CornerAction::FramwickBar,    CornerAction::FramwickScroll,
};
constexpr WORD kOffsetTaskView = 0;
constexpr WORD kOffsetLoftmoor = 1;
constexpr WORD kOffsetNotchling = 2;
constexpr WORD kOffsetDisabled = 3;
constexpr WORD kOffsetFirstCapture = 4;
constexpr WORD kOffsetLastCapture = 10;

// The capture submenu's items, top to bottom.
constexpr CornerAction kCaptureMenuOrder[] = {
    CornerAction::FramwickBar,      CornerAction::FramwickRegion, CornerAction::FramwickWindow,
    CornerAction::FramwickFullscreen, CornerAction::FramwickFreeform, CornerAction::FramwickScroll,
    CornerAction::FramwickOcr,
};
static_assert(kOffsetLastCapture - kOffsetFirstCapture + 1 == std::size(kCaptureMenuOrder));

struct CornerEntry {
    Corner corner;
    MenuString name;
};
// Shown (and stored) top left first, whatever the Corner values.
constexpr CornerEntry kCornerOrder[] = {
    {Corner::TopLeft, MenuString::TopLeft},
    {Corner::TopRight, MenuString::TopRight},
    {Corner::BottomLeft, MenuString::BottomLeft},
    {Corner::BottomRight, MenuString::BottomRight},
};

struct ValueList {
    const int* values;
    WORD firstIdentifier;
    const wchar_t* unit;
    MenuString title;
    size_t titleCapacity;
};
constexpr ValueList kZoneList = {kZoneValuesPx, IDM_ZONE_FIRST, L" px", MenuString::ZoneTitle, kZoneTitleCapacity};
constexpr ValueList kDwellList = {kDwellValuesMs, IDM_DWELL_FIRST, L" ms", MenuString::DwellTitle,
                                  kDwellTitleCapacity};

const wchar_t* const kLoftmoorText = L"Loftmoor";
const wchar_t* const kNotchlingText = L"Notchling";
const wchar_t* const kCaptureSubmenuText = L"FramwickCapture";

// Appends to a fixed buffer and always leaves it terminated; what does not fit is dropped.
struct BoundedText {
    wchar_t* out;
    size_t capacity;
    size_t length = 0;

    BoundedText(wchar_t* buffer, size_t size) : out(buffer), capacity(size) {
        if (capacity > 0) out[0] = L'\0';
    }
    void Append(const wchar_t* text) {
        if (capacity == 0 || !text) return;
        while (*text && length + 1 < capacity) out[length++] = *text++;
        out[length] = L'\0';
    }
    void AppendNumber(int value) {
        wchar_t digits[16] = {};  // 10 digits and a sign at most
        size_t count = 0;
        long long magnitude = value;  // INT_MIN has no positive int
        const bool negative = magnitude < 0;
        if (negative) magnitude = -magnitude;
        do {
            digits[count++] = static_cast<wchar_t>(L'0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude > 0);
        wchar_t text[17] = {};
        size_t at = 0;
        if (negative) text[at++] = L'-';
        while (count > 0) text[at++] = digits[--count];
        Append(text);
    }
};

bool IsCaptureAction(CornerAction action) { return CaptureModeArgument(action) != nullptr; }

WORD OffsetOf(CornerAction action) {
    for (WORD offset = 0; offset < std::size(kActionAtOffset); ++offset) {
        if (kActionAtOffset[offset] == action) return offset;
    }
    return kOffsetDisabled;
}

// Every popup menu of the tray menu is made here, so each has one owner from its first moment.
UniqueMenu NewPopupMenu() { return UniqueMenu(g_platform.createPopupMenu()); }

// The parent owns a submenu once it is attached with MF_POPUP (DestroyMenu on the parent destroys it),
// so ownership is released exactly when the append succeeds; a failed append leaves it with us to free.
bool AppendOwnedSubmenu(HMENU parent, UniqueMenu& submenu, const wchar_t* text) {
    if (!AppendMenuW(parent, MF_POPUP, reinterpret_cast<UINT_PTR>(submenu.get()), text)) return false;
    submenu.release();
    return true;
}

const wchar_t* DisplayedLabel(UiLanguage language, CornerAction shown) {
    if (shown == CornerAction::TaskView) return TaskViewLabel(language);
    if (shown == CornerAction::Loftmoor) return kLoftmoorText;
    if (shown == CornerAction::Notchling) return kNotchlingText;
    if (IsCaptureAction(shown)) return kCaptureSubmenuText;  // the mode itself is not named
    return DisabledLabel(language);
}

void AppendCaptureSubmenu(HMENU cornerMenu, UiLanguage language, WORD base, CornerAction shown) {
    UniqueMenu capture = NewPopupMenu();
    if (!capture) return;
    UINT markedPosition = 0;
    bool marked = false;
    for (UINT position = 0; position < std::size(kCaptureMenuOrder); ++position) {
        const CornerAction action = kCaptureMenuOrder[position];
        AppendMenuW(capture.get(), MF_STRING, base + OffsetOf(action), CaptureModeLabel(language, action));
        if (action == shown) {
            markedPosition = position;
            marked = true;
        }
    }
    // Marked by position: the identifiers B+4..B+10 are not in item order here (Capture… is B+9 at the
    // top, Text OCR B+8 at the bottom), and a by-command range is taken as the run of items between the
    // first and the last identifier on Windows, which would leave those two outside the group.
    if (marked) {
        CheckMenuRadioItem(capture.get(), 0, static_cast<UINT>(std::size(kCaptureMenuOrder) - 1), markedPosition,
                           MF_BYPOSITION);
    }
    AppendOwnedSubmenu(cornerMenu, capture, kCaptureSubmenuText);
}

void AppendValueSubmenu(HMENU parent, UiLanguage language, const ValueList& list, int current) {
    UniqueMenu submenu = NewPopupMenu();
    if (!submenu) return;
    WORD marked = list.firstIdentifier;  // a value that is not listed marks the first item
    for (WORD i = 0; i < kValueListLength; ++i) {
        wchar_t text[kMenuValueTextCapacity];
        FormatMenuValue(text, std::size(text), list.values[i], list.unit);
        AppendMenuW(submenu.get(), MF_STRING, list.firstIdentifier + i, text);
        if (list.values[i] == current) marked = list.firstIdentifier + i;
    }
    CheckMenuRadioItem(submenu.get(), list.firstIdentifier, list.firstIdentifier + kValueListLength - 1, marked,
                       MF_BYCOMMAND);
    wchar_t title[std::max(kZoneTitleCapacity, kDwellTitleCapacity)];
    FormatMenuTitleWithValue(title, list.titleCapacity, MenuText(language, list.title), current, list.unit);
    AppendOwnedSubmenu(parent, submenu, title);
}

void AppendSeparator(HMENU menu) { AppendMenuW(menu, MF_SEPARATOR, 0, nullptr); }

void StoreNumber(const wchar_t* section, const wchar_t* key, int value) {
    wchar_t text[kNumberTextCapacity];
    BoundedText(text, std::size(text)).AppendNumber(value);
    StoreSetting(section, key, text);
}

void OnExitCommand(HWND mainWindow) {
    // The window's destruction removes the tray icon and ends the message loop.
    DestroyWindow(mainWindow);
}

void OnRunAtStartupCommand() {
    const bool enable = !g_settings.runAtStartup;
    // A packaged run waits for the startup task while messages flow: a menu opened meanwhile reloads the
    // settings from the file, which still holds the old choice. So the choice itself is stored, not the
    // record read back afterwards.
    SetRunAtStartup(enable);  // a failure keeps the choice; the next start applies it again
    StoreNumber(L"General", L"RunAtStartup", enable ? 1 : 0);
    g_settings.runAtStartup = enable;  // after the wait, when no reload can overwrite it
    // The detector does not depend on this switch, so its tracking is left alone.
}

void OnZoneCommand(WORD index) {
    const int value = std::clamp(kZoneValuesPx[index], kMinEdgeZonePx, kMaxEdgeZonePx);
    StoreNumber(L"Trigger", L"EdgeZonePx", value);
    g_settings.edgeZonePx = value;
    ResetCornerTracking();
}

void OnDwellCommand(WORD index) {
    const int value = std::clamp(kDwellValuesMs[index], kMinCornerDwellMs, kMaxCornerDwellMs);
    StoreNumber(L"Trigger", L"CornerDwellMs", value);
    g_settings.cornerDwellMs = value;
    ResetCornerTracking();
}

void OnCornerCommand(Corner corner, CornerAction action) {
    // The companion may have gone since the menu was built; its item then means nothing any more.
    if (action == CornerAction::Loftmoor && !IsLoftmoorInstalled()) return;
    if (action == CornerAction::Notchling && !IsNotchlingInstalled()) return;
    ActionSlot(corner) = action;
    StoreSetting(L"Trigger", CornerKeyName(corner), CornerActionName(action));
    ResetCornerTracking();
}

}  // namespace

WORD CornerMenuBase(Corner corner) {
    return static_cast<WORD>(IDM_CORNER_FIRST + kCornerBlockSize * (3 - static_cast<int>(corner)));
}

WORD CornerCommandFor(Corner corner, CornerAction action) {
    return static_cast<WORD>(CornerMenuBase(corner) + OffsetOf(action));
}

bool DecodeCornerCommand(WORD identifier, Corner* corner, CornerAction* action) {
    if (identifier < IDM_CORNER_FIRST || identifier > kCornerLast) return false;
    const WORD offset = identifier % kCornerBlockSize;
    if (offset >= std::size(kActionAtOffset)) return false;
    const int block = (identifier - IDM_CORNER_FIRST) / kCornerBlockSize;  // 0 top left .. 3 bottom right
    if (corner) *corner = static_cast<Corner>(3 - block);
    if (action) *action = kActionAtOffset[offset];
    return true;
}

CornerAction DisplayedCornerAction(CornerAction stored, const TrayMenuProbes& probes) {
    if (stored == CornerAction::Loftmoor && !probes.loftmoorInstalled) return CornerAction::Disabled;
    if (stored == CornerAction::Notchling && !probes.notchlingInstalled) return CornerAction::Disabled;
    if (IsCaptureAction(stored) && !probes.captureAvailable) return CornerAction::Disabled;
    return stored;
}

void FormatMenuValue(wchar_t* out, size_t capacity, int value, const wchar_t* unit) {
    BoundedText text(out, capacity);
    text.AppendNumber(value);
    text.Append(unit);
}

void FormatMenuTitleWithValue(wchar_t* out, size_t capacity, const wchar_t* title, int value, const wchar_t* unit) {
    BoundedText text(out, capacity);
    text.Append(title);
    text.Append(L" (");
    text.AppendNumber(value);
    text.Append(unit);
    text.Append(L")");
}

void FormatCornerTitle(wchar_t* out, size_t capacity, UiLanguage language, const wchar_t* cornerName,
                       const wchar_t* label) {
    const bool fullWidth = language == UiLanguage::Japanese;
    BoundedText text(out, capacity);
    text.Append(cornerName);
    text.Append(fullWidth ? L"\uFF08" : L" (");
    text.Append(label);
    text.Append(fullWidth ? L"\uFF09" : L")");
}

bool AppendCornerSubmenu(HMENU parent, UiLanguage language, Corner corner, const wchar_t* cornerName,
                         bool loftmoorInstalled, bool notchlingInstalled, bool captureAvailable) {
    UniqueMenu submenu = NewPopupMenu();
    if (!submenu) return false;
    const WORD base = CornerMenuBase(corner);
    const TrayMenuProbes probes{loftmoorInstalled, notchlingInstalled, captureAvailable};
    const CornerAction shown = DisplayedCornerAction(ActionFor(corner), probes);

    AppendMenuW(submenu.get(), MF_STRING, base + kOffsetTaskView, TaskViewLabel(language));
    if (loftmoorInstalled) AppendMenuW(submenu.get(), MF_STRING, base + kOffsetLoftmoor, kLoftmoorText);
    if (notchlingInstalled) AppendMenuW(submenu.get(), MF_STRING, base + kOffsetNotchling, kNotchlingText);
    if (captureAvailable) AppendCaptureSubmenu(submenu.get(), language, base, shown);
    AppendMenuW(submenu.get(), MF_STRING, base + kOffsetDisabled, DisabledLabel(language));
    // A capture action carries its mark inside the capture submenu; none of these items has it then.
    if (!IsCaptureAction(shown)) {
        const WORD offset = (shown == CornerAction::TaskView || shown == CornerAction::Loftmoor ||
                             shown == CornerAction::Notchling)
                                ? OffsetOf(shown)
                                : kOffsetDisabled;
        CheckMenuRadioItem(submenu.get(), base + kOffsetTaskView, base + kOffsetDisabled, base + offset,
                           MF_BYCOMMAND);
    }

    wchar_t title[kCornerTitleCapacity];
    FormatCornerTitle(title, std::size(title), language, cornerName, DisplayedLabel(language, shown));
    return AppendOwnedSubmenu(parent, submenu, title);
}

UniqueMenu BuildTrayMenu(UiLanguage language, const TrayMenuProbes& probes) {
    UniqueMenu menu = NewPopupMenu();
    if (!menu) return menu;
    HMENU top = menu.get();
    // MF_DISABLED without MF_GRAYED: the header cannot be chosen but is drawn like a normal item.
    AppendMenuW(top, MF_STRING | MF_DISABLED, 0, MenuText(language, MenuString::Header));
    for (const CornerEntry& entry : kCornerOrder) {
        AppendCornerSubmenu(top, language, entry.corner, MenuText(language, entry.name), probes.loftmoorInstalled,
                            probes.notchlingInstalled, probes.captureAvailable);
    }
    AppendSeparator(top);
    AppendValueSubmenu(top, language, kZoneList, g_settings.edgeZonePx);
    AppendValueSubmenu(top, language, kDwellList, g_settings.cornerDwellMs);
    AppendSeparator(top);
    AppendMenuW(top, MF_STRING | (g_settings.runAtStartup ? MF_CHECKED : MF_UNCHECKED), IDM_RUN_AT_STARTUP,
                MenuText(language, MenuString::RunAtStartup));
    AppendMenuW(top, MF_STRING, IDM_ABOUT, MenuText(language, MenuString::About));
    AppendSeparator(top);
    AppendMenuW(top, MF_STRING, IDM_EXIT, MenuText(language, MenuString::Exit));
    return menu;
}

void ShowTrayMenu(HWND owner) {
    // Re-read every time, so hand edits of config.ini show (and take effect) without a restart.
    LoadSettings(false);
    const UiLanguage language = ResolveMenuLanguage(g_settings.language);
    TrayMenuProbes probes;
    probes.loftmoorInstalled = IsLoftmoorInstalled();
    probes.notchlingInstalled = IsNotchlingInstalled();
    probes.captureAvailable = IsCaptureToolAvailable();

    UniqueMenu menu = BuildTrayMenu(language, probes);
    if (!menu) return;

    POINT pointer = {0, 0};
    if (!g_platform.getCursorPos(&pointer)) pointer = {0, 0};
    RefreshMenuTheme(owner);
    // Without the foreground the menu would not close when the user clicks elsewhere.
    SetForegroundWindow(owner);
    const BOOL chosen = g_platform.trackPopupMenuEx(menu.get(), kTrackFlags, pointer.x, pointer.y, owner, nullptr);
    menu.reset();  // destroys every submenu with it
    // A message for the owner makes the system finish the menu's dismissal now rather than at the next input.
    g_platform.postMessageW(owner, WM_NULL, 0, 0);
    // Posted, not called: the command runs after the menu's modal loop and the menu itself are gone.
    if (chosen != 0) g_platform.postMessageW(owner, WM_COMMAND, static_cast<WORD>(chosen), 0);
}

void HandleMenuCommand(HWND mainWindow, WORD identifier) {
    if (identifier == IDM_EXIT) return OnExitCommand(mainWindow);
    if (identifier == IDM_ABOUT) return ShowAboutWindow(mainWindow);
    if (identifier == IDM_RUN_AT_STARTUP) return OnRunAtStartupCommand();
    if (identifier >= IDM_ZONE_FIRST && identifier < IDM_ZONE_FIRST + kValueListLength) {
        return OnZoneCommand(identifier - IDM_ZONE_FIRST);
    }
    if (identifier >= IDM_DWELL_FIRST && identifier < IDM_DWELL_FIRST + kValueListLength) {
        return OnDwellCommand(identifier - IDM_DWELL_FIRST);
    }
    Corner corner = Corner::TopLeft;
    CornerAction action = CornerAction::Disabled;
    if (DecodeCornerCommand(identifier, &corner, &action)) OnCornerCommand(corner, action);
    // Every other identifier is not ours and is ignored.
}
