#include "settings/Settings.h"

#include <windows.h>

#include <iterator>

#include "platform/Platform.h"

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

}  // namespace

bool EqualsIgnoringAsciiCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    }
    return true;
}

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

CornerAction Settings::*CornerField(Corner corner) {
    switch (corner) {
    case Corner::TopLeft: return &Settings::topLeft;
    case Corner::TopRight: return &Settings::topRight;
    case Corner::BottomLeft: return &Settings::bottomLeft;
    case Corner::BottomRight: break;
    }
    return &Settings::bottomRight;
}

CornerAction ActionIn(const Settings& settings, Corner corner) { return settings.*CornerField(corner); }
CornerAction ActionFor(Corner corner) { return ActionIn(g_settings, corner); }
CornerAction& ActionSlot(Corner corner) { return g_settings.*CornerField(corner); }

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
