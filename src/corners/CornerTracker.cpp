#include "corners/CornerTracker.h"

#include <algorithm>
#include <cstdint>

#include "corners/Dispatch.h"
#include "platform/Platform.h"

CornerTracker g_tracker;

namespace {

constexpr UINT kBaseDpi = 96;             // sizes in the settings are given at this DPI
// Extra rest for the top-right corner, milliseconds: maximised windows keep their close button there,
// so a pointer aimed at it lingers in that corner without meaning it.
constexpr DWORD kTopRightExtraMs = 150;
constexpr int kMinJumpPx = 240;           // jump threshold floor, physical pixels
constexpr int kJumpZoneFactor = 8;        // jump threshold in zone sizes, for large zones
constexpr SHORT kKeyDownBit = static_cast<SHORT>(0x8000);  // GetAsyncKeyState: key is down now

// Tested in this order; the last match wins, so TopLeft beats TopRight beats BottomLeft beats BottomRight.
constexpr Corner kCornerTestOrder[] = {Corner::BottomRight, Corner::BottomLeft, Corner::TopRight, Corner::TopLeft};

bool IsWatched(const Settings& settings, Corner corner) { return ActionIn(settings, corner) != CornerAction::Disabled; }

bool AnyCornerWatched(const Settings& settings) {
    for (Corner corner : kCornerTestOrder) {
        if (IsWatched(settings, corner)) return true;
    }
    return false;
}

bool IsLeft(Corner corner) { return corner == Corner::TopLeft || corner == Corner::BottomLeft; }
bool IsTop(Corner corner) { return corner == Corner::TopLeft || corner == Corner::TopRight; }

bool IsInInterior(POINT p, const RECT& m, int64_t z) {
    return m.left + z < p.x && p.x < m.right - z && m.top + z < p.y && p.y < m.bottom - z;
}

void ClearDwell(CornerTracker& tracker) {
    tracker.dwellActive = false;
    tracker.fired = false;
}

// Left, right and middle in this order; the first one found down ends the questions.
bool AnyMouseButtonDown() {
    for (int key : {VK_LBUTTON, VK_RBUTTON, VK_MBUTTON}) {
        if (g_platform.getAsyncKeyState(key) & kKeyDownBit) return true;
    }
    return false;
}

// The zone size for the monitor under the pointer. The DPI is asked only when the monitor or the
// zone setting changed, or after a reset (display changes reset), never on an ordinary moved tick.
int CurrentZone(CornerTracker& tracker, HMONITOR monitor) {
    if (monitor != tracker.cachedMonitor || g_settings.edgeZonePx != tracker.cachedEdgeZonePx ||
        tracker.scaledZonePx <= 0) {
        UINT dpiX = kBaseDpi;
        UINT dpiY = kBaseDpi;
        if (FAILED(g_platform.getDpiForMonitor(monitor, MDT_EFFECTIVE_DPI, &dpiX, &dpiY))) dpiX = kBaseDpi;
        tracker.cachedEdgeZonePx = g_settings.edgeZonePx;
        tracker.cachedMonitor = monitor;
        tracker.scaledZonePx = ScaleZoneToDpi(g_settings.edgeZonePx, dpiX);
    }
    return tracker.scaledZonePx;
}

int64_t MoveLength(POINT from, POINT to) {
    const int64_t dx = static_cast<int64_t>(to.x) - from.x;
    const int64_t dy = static_cast<int64_t>(to.y) - from.y;
    return (dx < 0 ? -dx : dx) + (dy < 0 ? -dy : dy);
}

}  // namespace

int ScaleZoneToDpi(int edgeZonePx, UINT dpi) {
    // A monitor reporting no DPI at all is treated like a failed query, not as a zone of 0.
    if (dpi == 0) dpi = kBaseDpi;
    return MulDiv(edgeZonePx, static_cast<int>(dpi), static_cast<int>(kBaseDpi));
}

bool IsInCornerZone(POINT pointer, const RECT& monitor, int zone, Corner corner) {
    // right and bottom are exclusive, so the nearest pixel to them is at distance 1, to left and top at 0.
    const int64_t dx = IsLeft(corner) ? static_cast<int64_t>(pointer.x) - monitor.left
                                      : static_cast<int64_t>(monitor.right) - pointer.x;
    const int64_t dy = IsTop(corner) ? static_cast<int64_t>(pointer.y) - monitor.top
                                     : static_cast<int64_t>(monitor.bottom) - pointer.y;
    return dx >= 0 && dy >= 0 && dx <= zone && dy <= zone && dx + dy <= MulDiv(zone, 3, 2);
}

ZoneHit LocatePointer(POINT pointer, const RECT& monitor, int zone, const Settings& settings) {
    if (IsInInterior(pointer, monitor, zone)) return {ZonePlace::Interior, Corner::BottomRight};
    ZoneHit hit;
    for (Corner corner : kCornerTestOrder) {
        if (IsWatched(settings, corner) && IsInCornerZone(pointer, monitor, zone, corner)) {
            hit = {ZonePlace::CornerZone, corner};
        }
    }
    return hit;
}

int JumpThreshold(int zone) { return std::max(kMinJumpPx, kJumpZoneFactor * zone); }

void ResetCornerTracking() {
    CornerTracker& tracker = g_tracker;
    tracker.forceFullCheck = true;
    tracker.cachedMonitor = nullptr;
    tracker.scaledZonePx = 0;
    tracker.blocked = true;
    ClearDwell(tracker);
}

void PollCorners() {
    CornerTracker& tracker = g_tracker;
    if (!AnyCornerWatched(g_settings)) {
        if (tracker.dwellActive) ClearDwell(tracker);
        return;
    }

    POINT position = {0, 0};
    if (!g_platform.getCursorPos(&position)) {
        // No pointer position: another desktop has the input (a UAC prompt, Ctrl+Alt+Del), and neither
        // sends a session event. Treating it as (0, 0) would rest the pointer in the primary monitor's
        // top-left corner. Handled like a reset: a corner that fired must not fire again when reading
        // resumes with the pointer still resting in it, so nothing starts until it has left every zone.
        ResetCornerTracking();
        return;
    }

    if (AnyMouseButtonDown()) {
        // A drag (window move, selection) must not fire a corner, but may start a dwell once released.
        tracker.lastPointValid = false;
        tracker.blocked = false;
        ClearDwell(tracker);
        return;
    }

    if (!tracker.forceFullCheck && tracker.lastPointValid && position.x == tracker.lastPoint.x &&
        position.y == tracker.lastPoint.y) {
        if (!tracker.blocked && tracker.dwellActive) CheckDwellAndFire(position);
        return;
    }

    const POINT previous = tracker.lastPoint;
    const bool previousValid = tracker.lastPointValid;
    tracker.lastPoint = position;
    tracker.lastPointValid = true;
    tracker.forceFullCheck = false;

    HMONITOR monitor = g_platform.monitorFromPoint(position, MONITOR_DEFAULTTONEAREST);
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    g_platform.getMonitorInfoW(monitor, &info);  // on failure rcMonitor stays all zero
    const int zone = CurrentZone(tracker, monitor);

    const ZoneHit hit = LocatePointer(position, info.rcMonitor, zone, g_settings);
    if (hit.place == ZonePlace::Interior) {
        tracker.blocked = false;
        ClearDwell(tracker);
        return;
    }
    if (tracker.blocked) {
        // The block lasts while the pointer stays in some watched corner zone.
        if (hit.place != ZonePlace::CornerZone) tracker.blocked = false;
        ClearDwell(tracker);
        return;
    }
    if (hit.place != ZonePlace::CornerZone) {
        ClearDwell(tracker);
        return;
    }
    if (previousValid && MoveLength(previous, position) >= JumpThreshold(zone)) {
        // Flung into the corner on the way somewhere else: the user did not come to rest here.
        tracker.blocked = true;
        ClearDwell(tracker);
        return;
    }
    if (!tracker.dwellActive || tracker.dwellCorner != hit.corner) {
        tracker.dwellActive = true;
        tracker.dwellCorner = hit.corner;
        tracker.dwellStartTick = g_platform.getTickCount();
        tracker.fired = false;
    }
    CheckDwellAndFire(position);
}

void CheckDwellAndFire(POINT point) {
    CornerTracker& tracker = g_tracker;
    if (tracker.blocked || tracker.fired || !tracker.dwellActive) return;
    DWORD required = static_cast<DWORD>(std::max(g_settings.cornerDwellMs, 0));
    if (tracker.dwellCorner == Corner::TopRight) required += kTopRightExtraMs;
    // Unsigned difference: correct across the wrap of the tick counter after 49.7 days.
    if (g_platform.getTickCount() - tracker.dwellStartTick < required) return;

    const Corner corner = tracker.dwellCorner;
    const DWORD start = tracker.dwellStartTick;
    if (!DispatchCornerAction(corner, point)) return;  // retried on every tick while the dwell lasts
    // A capture start runs a nested message loop in which this poll can run again and end this dwell
    // or begin another; only the dwell that dispatched is marked fired.
    if (tracker.dwellActive && tracker.dwellCorner == corner && tracker.dwellStartTick == start) tracker.fired = true;
}
