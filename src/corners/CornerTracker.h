#pragma once
#include <windows.h>

#include "settings/Settings.h"

// The detector's state between ticks; used only on the user-interface thread.
struct CornerTracker {
    bool forceFullCheck = true;
    POINT lastPoint = {0, 0};
    bool lastPointValid = false;
    bool blocked = false;
    bool dwellActive = false;
    Corner dwellCorner = Corner::BottomRight;
    DWORD dwellStartTick = 0;
    bool fired = false;
    bool launchInProgress = false;
    DWORD lastActionTick = 0;  // 0 means never
    HMONITOR cachedMonitor = nullptr;
    int cachedEdgeZonePx = 0;
    int scaledZonePx = 0;  // 0 means not computed
};

extern CornerTracker g_tracker;

void PollCorners();
void ResetCornerTracking();
void CheckDwellAndFire(POINT point);

// Zone geometry, kept free of Win32 state so it can be checked on its own.

// Where a pointer lies relative to one monitor's watched corner zones.
enum class ZonePlace {
    Interior,    // more than the zone size away from every edge
    EdgeBand,    // near an edge but in no watched corner's zone
    CornerZone,  // in the zone of `ZoneHit::corner`
};

struct ZoneHit {
    ZonePlace place = ZonePlace::EdgeBand;
    Corner corner = Corner::BottomRight;  // meaningful only for ZonePlace::CornerZone
};

// The zone size in physical pixels on a monitor of `dpi`; a DPI of 0 counts as 96.
int ScaleZoneToDpi(int edgeZonePx, UINT dpi);
// Whether `pointer` lies in `corner`'s zone of `monitor` (whose right and bottom are exclusive):
// the zone-by-zone square in the corner with its inner tip cut off along a diagonal.
bool IsInCornerZone(POINT pointer, const RECT& monitor, int zone, Corner corner);
// Interior, edge band, or the watched corner whose zone holds the pointer; where zones overlap,
// TopLeft wins over TopRight over BottomLeft over BottomRight. Unwatched corners are edge band.
ZoneHit LocatePointer(POINT pointer, const RECT& monitor, int zone, const Settings& settings);
// A move of at least this many pixels (|dx| + |dy|) into a corner is a jump, not a rest.
int JumpThreshold(int zone);
