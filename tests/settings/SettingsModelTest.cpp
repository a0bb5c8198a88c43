// The settings vocabulary: action names as the file holds them, and the packaged-run test.
#include <gtest/gtest.h>

#include <utility>

#include "app/Platform.h"
#include "settings/Settings.h"
#include "support/TestSupport.h"

namespace {

TEST(SettingsModel, ParseCornerAction) {
    struct Case {
        const wchar_t* text;
        CornerAction action;
    };
    const Case cases[] = {
        {L"taskview", CornerAction::TaskView},      {L"TASKVIEW", CornerAction::TaskView},
        {L"Task View", CornerAction::Disabled},     {L" TaskView", CornerAction::Disabled},
        {L"Tessawell", CornerAction::Loftmoor},     {L"loftmoor", CornerAction::Loftmoor},
        {L"FramwickOCR", CornerAction::FramwickOcr}, {L"framwickbar", CornerAction::FramwickBar},
        {L"", CornerAction::Disabled},              {nullptr, CornerAction::Disabled},
        {L"Framwick", CornerAction::Disabled},      {L"TAS\u212AVIEW", CornerAction::Disabled},  // Kelvin sign
    };
    for (const Case& c : cases) EXPECT_EQ(ParseCornerAction(c.text), c.action) << (c.text ? c.text : L"(null)");
}

TEST(SettingsModel, CornerActionName) {
    for (int value : {11, -1}) EXPECT_STREQ(CornerActionName(static_cast<CornerAction>(value)), L"Disabled") << value;
    EXPECT_STREQ(CornerActionName(CornerAction::FramwickFullscreen), L"FramwickFullscreen");
    EXPECT_STREQ(CornerActionName(ParseCornerAction(L"Tessawell")), L"Loftmoor");  // the former name is never written
}

LONG g_packageAnswer = 0;

LONG WINAPI FakePackageFullName(UINT32* length, PWSTR buffer) {
    const bool sizeQuery = length && *length == 0 && !buffer;
    if (length) *length = 40;
    return sizeQuery ? g_packageAnswer : ERROR_INVALID_PARAMETER;
}

TEST(SettingsModel, IsPackagedRunOnlyWhenTheNameNeedsABuffer) {
    PlatformGuard platform;
    g_platform.getCurrentPackageFullName = &FakePackageFullName;
    // 122 (ERROR_INSUFFICIENT_BUFFER): the process has a package identity; 15700: APPMODEL_ERROR_NO_PACKAGE.
    for (const auto& [answer, packaged] : {std::pair<LONG, bool>{122, true}, {15700, false}, {ERROR_SUCCESS, false}}) {
        g_packageAnswer = answer;
        EXPECT_EQ(IsPackagedRun(), packaged) << answer;
    }
}

}  // namespace
