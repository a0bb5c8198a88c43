#include "storage/Paths.h"

std::wstring GetExecutableDirectory() { return {}; }
std::wstring GetAppDataDirectory() { return {}; }
std::wstring GetConfigFilePath() { return {}; }
void CreateDirectoryChain(const std::wstring&) {}
