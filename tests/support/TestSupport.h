#pragma once
#include <windows.h>

#include <string>

#include "corners/CornerTracker.h"
#include "platform/Platform.h"
#include "settings/Settings.h"

// Restores the platform record (and with it every faked Win32 call) when the test ends.
struct PlatformGuard {
    Platform saved = g_platform;
    ~PlatformGuard() { g_platform = saved; }
};

// Restores the process-wide settings and corner tracker when the test ends.
struct GlobalsGuard {
    Settings savedSettings = g_settings;
    CornerTracker savedTracker = g_tracker;
    ~GlobalsGuard() { g_settings = savedSettings, g_tracker = savedTracker; }
};

// A fresh, empty folder under %TEMP% for one test, removed with everything in it (read-only files too)
// afterwards. path() ends with a backslash.
struct ScratchFolder {
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::wstring& path() const { return path_; }
    std::wstring operator/(const std::wstring& name) const { return path_ + name; }
    std::wstring path_;
};

// Stress loops run `quick` rounds by default and `full` rounds when HOVERLATCH_FULL_STRESS=1 is set.
int StressRounds(int quick, int full);

bool WriteBytes(const std::wstring& path, const std::string& bytes);
std::string ReadBytes(const std::wstring& path);  // the whole file; empty when it cannot be read
bool FileExists(const std::wstring& path);
// UTF-16 little-endian bytes of a wide text, with or without the FF FE mark.
std::string Utf16Bytes(const std::wstring& text, bool withMark);
std::string Utf8(const std::wstring& text);
