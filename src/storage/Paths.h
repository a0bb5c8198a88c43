#pragma once
#include <string>

// Folder results end with a separator when not empty, so callers append names directly.
std::wstring GetExecutableDirectory();
std::wstring GetAppDataDirectory();
std::wstring GetConfigFilePath();
void CreateDirectoryChain(const std::wstring& folder);
