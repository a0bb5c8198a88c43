#include "settings/Settings.h"

#include <windows.h>

#include <iterator>

#include "app/Platform.h"

Settings g_settings;

namespace {

struct ActionName {
    const wchar_t* name;
    CornerAction action;
};

// Searched in this order; "Tessawell" is the companion's former name, read but never written.
constexpr ActionName kAcceptedNames[] = {
    {L"TaskView", CornerAction::TaskView},
    {L"Loftmoor", CornerAction::Loftmoor},
    {L"Tessawell", CornerAction::Loftmoor},
    {L"Notchling", CornerAction::Notchling},
    {L"FramwickRegion", CornerAction::FramwickRegion},
    {L"FramwickWindow", CornerAction::FramwickWindow},
    {L"FramwickFullscreen", CornerAction::FramwickFullscreen},
    {L"FramwickFreeform", CornerAction::FramwickFreeform},
    {L"FramwickScroll", CornerAction::FramwickScroll},
    {L"FramwickOcr", CornerAction::FramwickOcr},
    {L"FramwickBar", CornerAction::FramwickBar},
};

// Indexed by CornerAction value.
constexpr const wchar_t* kCanonicalNames[] = {
    L"Disabled", L"TaskView", L"Loftmoor", L"Notchling", L"FramwickRegion", L"FramwickWindow",
    L"FramwickFullscreen", L"FramwickFreeform", L"FramwickScroll", L"FramwickOcr", L"FramwickBar",
};

wchar_t FoldAscii(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

// Only ASCII letters fold: action names are ASCII, and anything else must match exactly.
bool EqualsIgnoringAsciiCase(const wchar_t* a, const wchar_t* b) {
    for (; *a && *b; ++a, ++b) {
        if (FoldAscii(*a) != FoldAscii(*b)) return false;
    }
    return *a == *b;
}

}  // namespace

CornerAction ParseCornerAction(const wchar_t* text) {
    if (!text || !*text) return CornerAction::Disabled;
    for (const ActionName& entry : kAcceptedNames) {
        if (EqualsIgnoringAsciiCase(text, entry.name)) return entry.action;
    }
    return CornerAction::Disabled;
}

const wchar_t* CornerActionName(CornerAction action) {
    const auto index = static_cast<int32_t>(action);
    if (index < 0 || index >= static_cast<int32_t>(std::size(kCanonicalNames))) return kCanonicalNames[0];
    return kCanonicalNames[index];
}

CornerAction& ActionSlot(Corner corner) {
    switch (corner) {
    case Corner::TopLeft: return g_settings.topLeft;
    case Corner::TopRight: return g_settings.topRight;
    case Corner::BottomLeft: return g_settings.bottomLeft;
    case Corner::BottomRight: break;
    }
    return g_settings.bottomRight;
}

CornerAction ActionIn(const Settings& settings, Corner corner) {
    switch (corner) {
    case Corner::TopLeft: return settings.topLeft;
    case Corner::TopRight: return settings.topRight;
    case Corner::BottomLeft: return settings.bottomLeft;
    case Corner::BottomRight: break;
    }
    return settings.bottomRight;
}

CornerAction ActionFor(Corner corner) { return ActionIn(g_settings, corner); }

const wchar_t* CornerKeyName(Corner corner) {
    switch (corner) {
    case Corner::TopLeft: return L"TopLeft";
    case Corner::TopRight: return L"TopRight";
    case Corner::BottomLeft: return L"BottomLeft";
    case Corner::BottomRight: break;
    }
    return L"BottomRight";
}

bool IsPackagedRun() {
    UINT32 length = 0;
    // With package identity the zero-length query asks for a buffer; everything else means unpackaged.
    return g_platform.getCurrentPackageFullName(&length, nullptr) == ERROR_INSUFFICIENT_BUFFER;
}
