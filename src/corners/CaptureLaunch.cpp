#include "corners/CaptureLaunch.h"

const wchar_t* CaptureModeArgument(CornerAction) { return nullptr; }
bool ReadCaptureToolPath(std::wstring&) { return false; }
bool IsCaptureToolAvailable() { return false; }
bool LaunchCaptureTool(CornerAction) { return false; }
