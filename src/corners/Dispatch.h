#pragma once
#include <windows.h>

#include "settings/Settings.h"

// Carries out a corner's action; true when it was carried out (the Tab press accepted, the toggle
// posted, or the capture tool started).
bool DispatchCornerAction(Corner corner, POINT point);
