#include "corners/CornerTracker.h"

CornerTracker g_tracker;

void PollCorners() {}
void ResetCornerTracking() {}
void CheckDwellAndFire(POINT) {}
