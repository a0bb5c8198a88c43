#pragma once
#include <string>

#include "settings/Settings.h"

// "--region" ... "--bar" for the seven capture actions, null for every other action.
const wchar_t* CaptureModeArgument(CornerAction action);
// Reads the capture tool's location file; on false `path` is left unchanged.
bool ReadCaptureToolPath(std::wstring& path);
bool IsCaptureToolAvailable();
bool LaunchCaptureTool(CornerAction action);
