#include "settings/Companions.h"

bool IsLoftmoorInstalled() { return false; }
bool IsNotchlingInstalled() { return false; }
