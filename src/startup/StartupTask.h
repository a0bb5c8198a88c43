#pragma once

void ApplyStartupTask(bool enable);
