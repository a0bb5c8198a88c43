#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "settings/Companions.h"
#include "support/TestSupport.h"

namespace {

std::wstring g_roamingFolder;

HRESULT WINAPI FakeRoamingFolder(HWND, int csidl, HANDLE, DWORD, LPWSTR path) {
    if ((csidl & 0xFF) != CSIDL_APPDATA) return E_FAIL;
    wcscpy_s(path, MAX_PATH, g_roamingFolder.c_str());
    return S_OK;
}

HRESULT WINAPI NoFolder(HWND, int, HANDLE, DWORD, LPWSTR) { return E_FAIL; }

std::wstring g_environmentAppData;

DWORD WINAPI FakeEnvironment(LPCWSTR name, LPWSTR buffer, DWORD size) {
    if (wcscmp(name, L"APPDATA") != 0 || g_environmentAppData.size() >= size) return 0;
    wcscpy_s(buffer, size, g_environmentAppData.c_str());
    return static_cast<DWORD>(g_environmentAppData.size());
}

struct Entry {
    const wchar_t* path;  // below the maker's folder
    bool folder;          // a folder of that name instead of a file
};

struct CompanionCase {
    const char* name;
    std::vector<Entry> entries;
    bool loftmoor;
    bool notchling;
};

// Creates the entry and every folder above it.
void Create(const std::wstring& root, const Entry& entry) {
    std::wstring path = root + entry.path;
    for (size_t i = root.size(); i < path.size(); ++i) {
        if (path[i] == L'\\') CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
    }
    if (entry.folder) {
        CreateDirectoryW(path.c_str(), nullptr);
    } else {
        ASSERT_TRUE(WriteBytes(path, "[Settings]\r\n"));
    }
}

TEST(Companions, PresenceFollowsTheirConfigurationFiles) {
    const std::vector<CompanionCase> cases = {
        {"nothing", {}, false, false},
        {"Loftmoor", {{L"Loftmoor\\config.ini", false}}, true, false},
        {"Tessawell only", {{L"Tessawell\\config.ini", false}}, true, false},
        {"Quarrynook only", {{L"Quarrynook\\config.ini", false}}, true, false},
        {"Notchling", {{L"Notchling\\config.ini", false}}, false, true},
        {"both", {{L"Loftmoor\\config.ini", false}, {L"Notchling\\config.ini", false}}, true, true},
        {"a folder named config.ini", {{L"Notchling\\config.ini", true}, {L"Tessawell\\config.ini", true}}, true, true},
        {"companion folders without their file", {{L"Loftmoor\\", true}, {L"Notchling\\settings.ini", false}}, false,
         false},
        {"our own file is no companion", {{L"Hoverlatch\\config.ini", false}, {L"config.ini", false}}, false, false},
        {"a file named like the folder", {{L"Loftmoor", false}}, false, false},
    };
    for (const CompanionCase& c : cases) {
        SCOPED_TRACE(c.name);
        PlatformGuard guard;
        ScratchFolder scratch;
        g_roamingFolder = scratch / L"Roaming";
        CreateDirectoryW(g_roamingFolder.c_str(), nullptr);
        g_platform.shGetFolderPathW = &FakeRoamingFolder;
        const std::wstring maker = g_roamingFolder + L"\\quenby\\";
        CreateDirectoryW(maker.c_str(), nullptr);
        for (const Entry& entry : c.entries) Create(maker, entry);
        EXPECT_EQ(IsLoftmoorInstalled(), c.loftmoor);
        EXPECT_EQ(IsNotchlingInstalled(), c.notchling);
    }
}

TEST(Companions, ProbesFollowTheApplicationDataFallback) {
    PlatformGuard guard;
    ScratchFolder scratch;
    g_platform.shGetFolderPathW = &NoFolder;
    g_platform.getEnvironmentVariableW = &FakeEnvironment;
    g_environmentAppData = scratch / L"FromEnvironment";
    CreateDirectoryW(g_environmentAppData.c_str(), nullptr);
    CreateDirectoryW((g_environmentAppData + L"\\quenby").c_str(), nullptr);
    Create(g_environmentAppData + L"\\quenby\\", {L"Quarrynook\\config.ini", false});
    Create(g_environmentAppData + L"\\quenby\\", {L"Notchling\\config.ini", false});
    EXPECT_TRUE(IsLoftmoorInstalled());
    EXPECT_TRUE(IsNotchlingInstalled());
}

}  // namespace
