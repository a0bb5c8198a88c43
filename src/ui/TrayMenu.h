#pragma once
#include <windows.h>

#include <cstddef>

#include "platform/Handles.h"
#include "settings/Settings.h"
#include "ui/Language.h"

constexpr WORD IDM_EXIT = 1001;
constexpr WORD IDM_ABOUT = 1002;
constexpr WORD IDM_RUN_AT_STARTUP = 1003;
constexpr WORD IDM_ZONE_FIRST = 1020;
constexpr WORD IDM_DWELL_FIRST = 1030;
constexpr WORD IDM_CORNER_FIRST = 1100;

void ShowTrayMenu(HWND owner);
bool AppendCornerSubmenu(HMENU parent, UiLanguage language, Corner corner, const wchar_t* cornerName,
                         bool loftmoorInstalled, bool notchlingInstalled, bool captureAvailable);
void HandleMenuCommand(HWND mainWindow, WORD identifier);

// What the three probes answered when the menu was built; the whole menu is built from one answer.
struct TrayMenuProbes {
    bool loftmoorInstalled = false;
    bool notchlingInstalled = false;
    bool captureAvailable = false;
};

// The whole tray menu for g_settings, owned by the caller; null when the top-level menu cannot be
// created. ShowTrayMenu tracks it; tests inspect it.
UniqueMenu BuildTrayMenu(UiLanguage language, const TrayMenuProbes& probes);

// First identifier of a corner's block of 20: 1100 top left, 1120 top right, 1140 bottom left,
// 1160 bottom right.
WORD CornerMenuBase(Corner corner);
// The identifier of an action in a corner's block (offsets are not in CornerAction order).
WORD CornerCommandFor(Corner corner, CornerAction action);
// Splits 1100-1179 into corner and action; false for offsets 11-19 and everything outside.
bool DecodeCornerCommand(WORD identifier, Corner* corner, CornerAction* action);
// The action a corner's entry shows: a companion or capture action whose program is missing shows as
// Disabled. The stored setting is not touched.
CornerAction DisplayedCornerAction(CornerAction stored, const TrayMenuProbes& probes);

// Menu texts are formatted into fixed buffers of these sizes (UTF-16 units, terminator included) and
// cut, never overrun, when longer.
constexpr size_t kMenuValueTextCapacity = 24;    // "24 px", "1000 ms"
constexpr size_t kZoneTitleCapacity = 80;        // "Range until detection (12 px)"
constexpr size_t kDwellTitleCapacity = 96;       // "Time until detection (350 ms)"
constexpr size_t kCornerTitleCapacity = 128;     // "Top left (Task View)"

// "%d<unit>" and "%s (%d<unit>)" with unit " px" or " ms"; a capacity of 0 writes nothing.
void FormatMenuValue(wchar_t* out, size_t capacity, int value, const wchar_t* unit);
void FormatMenuTitleWithValue(wchar_t* out, size_t capacity, const wchar_t* title, int value, const wchar_t* unit);
// "%s (%s)", or "%s（%s）" with full-width parentheses in Japanese.
void FormatCornerTitle(wchar_t* out, size_t capacity, UiLanguage language, const wchar_t* cornerName,
                       const wchar_t* label);
