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
