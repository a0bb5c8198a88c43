#include <gtest/gtest.h>

#include "settings/Companions.h"
#include "storage/Paths.h"
#include "support/TestSupport.h"

namespace {

std::wstring g_roaming;

HRESULT WINAPI FakeRoaming(HWND, int, HANDLE, DWORD, LPWSTR path) {
    return wcscpy_s(path, MAX_PATH, g_roaming.c_str()) ? E_FAIL : S_OK;
}

TEST(Companions, PresenceFollowsTheirConfigurationFiles) {
    const struct {
        const wchar_t* entry;  // below the maker's folder; a final backslash makes it a folder
        bool loftmoor, notchling;
    } cases[] = {
        {L"Tessawell\\config.ini", true, false},
        {L"Quarrynook\\config.ini", true, false},
        {L"Notchling\\config.ini", false, true},
        {L"Notchling\\config.ini\\", false, true},
        {L"Loftmoor\\", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf8(c.entry));
        PlatformGuard guard;
        ScratchFolder scratch;
        g_roaming = scratch.path();
        g_platform.shGetFolderPathW = &FakeRoaming;
        const std::wstring path = scratch / L"quenby\\" + c.entry;
        CreateDirectoryChain(path.substr(0, path.find_last_of(L'\\') + 1));
        ASSERT_TRUE(path.back() == L'\\' || WriteBytes(path, "[Settings]\r\n"));
        EXPECT_EQ(IsLoftmoorInstalled(), c.loftmoor);
        EXPECT_EQ(IsNotchlingInstalled(), c.notchling);
    }
}

}  // namespace
