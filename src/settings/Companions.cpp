#include "settings/Companions.h"

#include <windows.h>

#include <string>

#include "storage/Paths.h"

namespace {

// The companions keep their settings beside ours, in the maker's shared folder.
constexpr const wchar_t* kMakerFolder = L"quenby\\";

// Anything of that name counts, a folder included: the companion's own layout is not ours to judge.
bool MakerFileExists(const std::wstring& makerFolder, const wchar_t* relative) {
    return GetFileAttributesW((makerFolder + relative).c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

bool IsLoftmoorInstalled() {
    const std::wstring makerFolder = GetAppDataDirectory() + kMakerFolder;
    // Tessawell is the companion's former name; Quarrynook is another of the maker's tools, and its
    // settings there also mean Loftmoor is present.
    for (const wchar_t* relative : {L"Loftmoor\\config.ini", L"Tessawell\\config.ini", L"Quarrynook\\config.ini"}) {
        if (MakerFileExists(makerFolder, relative)) return true;
    }
    return false;
}

bool IsNotchlingInstalled() {
    return MakerFileExists(GetAppDataDirectory() + kMakerFolder, L"Notchling\\config.ini");
}
