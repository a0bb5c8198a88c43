#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <string>
#include <thread>

#include "FakeRuntime.h"
#include "startup/StartupShortcut.h"

namespace {

std::wstring g_startupFolder;
LONG g_packageAnswer = 0;

// The Startup folder and the kind of run under the test's control, the runtime faked. GetCurrentPackageFullName
// answers ERROR_INSUFFICIENT_BUFFER with a package identity and APPMODEL_ERROR_NO_PACKAGE (15700) without.
struct ShortcutScope : FakeRuntimeScope {
    ShortcutScope(const std::wstring& startupFolder, bool packaged) {
        g_startupFolder = startupFolder;
        g_packageAnswer = packaged ? ERROR_INSUFFICIENT_BUFFER : 15700;
        g_platform.shGetFolderPathW = [](HWND, int folder, HANDLE, DWORD, LPWSTR path) {
            lstrcpynW(path, g_startupFolder.c_str(), MAX_PATH);
            return folder == CSIDL_STARTUP ? S_OK : E_INVALIDARG;
        };
        g_platform.getCurrentPackageFullName = [](UINT32*, PWSTR) { return g_packageAnswer; };
    }
};

// Any COM state is left as found: entering the single-threaded apartment from the multithreaded one fails,
// and must not be undone. The shortcut's contents are read back by the end-to-end test.
TEST(StartupShortcut, WrittenAndDeletedWhateverTheThreadsComState) {
    for (int model : {-1, static_cast<int>(COINIT_APARTMENTTHREADED), static_cast<int>(COINIT_MULTITHREADED)}) {
        SCOPED_TRACE(testing::Message() << "COM model " << model);
        ScratchFolder startup;
        ShortcutScope scope(startup.path().substr(0, startup.path().size() - 1), false);  // no backslash
        bool comAsFound = false, comLeft = false;
        std::thread([&] {
            HRESULT init = model < 0 ? E_FAIL : CoInitializeEx(nullptr, static_cast<DWORD>(model));
            APTTYPE before{}, after{};
            APTTYPEQUALIFIER qualifier{};
            const HRESULT found = CoGetApartmentType(&before, &qualifier);
            SetRunAtStartup(true);
            comAsFound = CoGetApartmentType(&after, &qualifier) == found && after == before;
            if (SUCCEEDED(init)) CoUninitialize();
            comLeft = CoGetApartmentType(&after, &qualifier) == CO_E_NOTINITIALIZED;
        }).join();
        EXPECT_TRUE(comAsFound);
        EXPECT_TRUE(comLeft) << "COM left entered once more than the thread did";
        EXPECT_TRUE(FileExists(startup / L"Hoverlatch.lnk"));
        EXPECT_EQ(g_fake.roInitializeCalls, 0) << "an unpackaged run has no startup task";
        SetRunAtStartup(false);
        EXPECT_FALSE(FileExists(startup / L"Hoverlatch.lnk"));
    }
}

// A shortcut left by an earlier unpackaged install would start a packaged run a second time.
TEST(StartupShortcut, PackagedRunDeletesTheShortcutAndUsesTheTask) {
    ScratchFolder startup;
    ShortcutScope scope(startup.path(), true);
    ASSERT_TRUE(WriteBytes(startup / L"Hoverlatch.lnk", "left by an unpackaged install"));
    SetRunAtStartup(true);
    EXPECT_FALSE(FileExists(startup / L"Hoverlatch.lnk"));
    EXPECT_EQ(g_fake.requestEnableCalls, 1);
}

}  // namespace
