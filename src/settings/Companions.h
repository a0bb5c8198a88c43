#pragma once

bool IsLoftmoorInstalled();
bool IsNotchlingInstalled();
