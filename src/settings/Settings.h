#pragma once
#include <cstdint>
#include <string_view>

// Numeric values are fixed: the detector, the menu identifiers and the legacy corner mask use them.
enum class Corner : int32_t { BottomRight = 0, BottomLeft = 1, TopRight = 2, TopLeft = 3 };

// Numeric values are fixed; the file stores the names of CornerActionName.
enum class CornerAction : int32_t {
    Disabled = 0,
    TaskView = 1,
    Loftmoor = 2,
    Notchling = 3,
    FramwickRegion = 4,
    FramwickWindow = 5,
    FramwickFullscreen = 6,
    FramwickFreeform = 7,
    FramwickScroll = 8,
    FramwickOcr = 9,
    FramwickBar = 10,
};

constexpr int kMinEdgeZonePx = 4;       // corner zone, pixels at 96 DPI
constexpr int kMaxEdgeZonePx = 28;
constexpr int kDefaultEdgeZonePx = 12;
constexpr int kMinCornerDwellMs = 300;  // rest time before a corner fires
constexpr int kMaxCornerDwellMs = 1000;
constexpr int kDefaultCornerDwellMs = 350;
constexpr int kLanguageCapacity = 64;   // 63 UTF-16 units plus the terminator

struct Settings {
    CornerAction topLeft = CornerAction::Disabled;
    CornerAction topRight = CornerAction::TaskView;
    CornerAction bottomLeft = CornerAction::Disabled;
    CornerAction bottomRight = CornerAction::Disabled;
    int32_t edgeZonePx = kDefaultEdgeZonePx;
    int32_t cornerDwellMs = kDefaultCornerDwellMs;
    bool runAtStartup = false;
    wchar_t language[kLanguageCapacity] = {};  // trimmed user choice; empty means the Windows language
};

extern Settings g_settings;

CornerAction ParseCornerAction(const wchar_t* text);
const wchar_t* CornerActionName(CornerAction action);
// The field of a settings record that holds a corner's action.
CornerAction Settings::*CornerField(Corner corner);
CornerAction ActionFor(Corner corner);
CornerAction ActionIn(const Settings& settings, Corner corner);
CornerAction& ActionSlot(Corner corner);  // the field of g_settings
// The INI key of a corner's action: "TopLeft", "TopRight", "BottomLeft", "BottomRight".
const wchar_t* CornerKeyName(Corner corner);
bool IsPackagedRun();
// Only ASCII letters fold (action names, corner tokens and language names are ASCII); done by hand so the
// answer never depends on the C runtime's locale.
bool EqualsIgnoringAsciiCase(std::wstring_view a, std::wstring_view b);
