#include "startup/StartupTask.h"

void ApplyStartupTask(bool) {}
