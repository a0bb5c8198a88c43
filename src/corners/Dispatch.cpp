#include "corners/Dispatch.h"

bool DispatchCornerAction(Corner, POINT) { return false; }
