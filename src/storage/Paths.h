#pragma once
#include <string>

// Folder results end with a separator when not empty, so callers append names directly.
// The running executable's full path, however long; empty when it cannot be read whole.
std::wstring GetExecutablePath();
std::wstring GetExecutableDirectory();
std::wstring GetAppDataDirectory();
std::wstring GetConfigFilePath();
void CreateDirectoryChain(const std::wstring& folder);
