#include <gtest/gtest.h>
#include <windows.h>

#include "Fakes.h"
#include "startup/StartupShortcut.h"

namespace {

// A packaged run uses its task: a shortcut left by an earlier unpackaged install would start it a second time.
// The runtime is left only by a call that entered it (S_FALSE included); a failed entry does not stop the attempt.
// A state is asked to enable, disabled, or left alone: one row per state tells its group apart from the others.
TEST(StartupTask, PackagedRunDeletesTheShortcutAndTheStateAndRuntimeAnswersDecideTheCalls) {
    using S = StartupTaskState;
    struct Case { S state; bool enable; int requests, disables; HRESULT init = S_OK, factory = S_OK; int leaves = 1; };
    const Case cases[] = {
        {S::Disabled, true, 1, 0},         {S::Disabled, false, 0, 0},        {S::DisabledByUser, true, 1, 0},
        {S::Enabled, true, 0, 0},          {S::Enabled, false, 0, 1},         {S::DisabledByPolicy, true, 1, 0},
        {S::EnabledByPolicy, true, 0, 0},  {S::EnabledByPolicy, false, 0, 0}, {S::Disabled, true, 1, 0, S_FALSE},
        {S::Disabled, true, 1, 0, RPC_E_CHANGED_MODE, S_OK, 0}, {S::Disabled, true, 0, 0, S_OK, REGDB_E_CLASSNOTREG},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "state " << static_cast<int>(c.state) << " enable " << c.enable << std::hex
                                        << " init " << c.init << " factory " << c.factory);
        ScratchAppData startup;
        FakeRuntime fake;
        fake.state = c.state;
        fake.roInitializeResult = c.init;
        fake.factoryResult = c.factory;
        g_platform.getCurrentPackageFullName = [](UINT32*, PWSTR) -> LONG { return ERROR_INSUFFICIENT_BUFFER; };
        ASSERT_TRUE(WriteBytes(startup.scratch / L"Hoverlatch.lnk", "left by an unpackaged install"));
        SetRunAtStartup(c.enable);
        EXPECT_FALSE(FileExists(startup.scratch / L"Hoverlatch.lnk"));
        EXPECT_EQ(fake.getStateCalls, c.factory == S_OK ? 1 : 0) << "the task was not found";
        EXPECT_EQ(fake.requestEnableCalls, c.requests);
        EXPECT_EQ(fake.disableCalls, c.disables);
        EXPECT_EQ(fake.roUninitializeCalls, c.leaves);
    }
}

}  // namespace
