// The settings vocabulary: action names as the file holds them, and the packaged-run test.
#include <gtest/gtest.h>

#include <utility>

#include "support/TestSupport.h"

namespace {

TEST(SettingsModel, ActionNames) {
    using enum CornerAction;
    const std::pair<const wchar_t*, CornerAction> cases[] = {
        {L"taskview", TaskView}, {L"Tessawell", Loftmoor}, {L"FramwickOCR", FramwickOcr}, {L"Task View", Disabled},
        {L" TaskView", Disabled}, {L"Framwick", Disabled}, {L"", Disabled}, {nullptr, Disabled},
        {L"TAS\u212AVIEW", Disabled}};  // Kelvin sign
    for (const auto& [text, action] : cases) EXPECT_EQ(ParseCornerAction(text), action) << (text ? text : L"(null)");
    for (int value = 0; value <= 10; ++value) {  // every name written reads back as its action
        EXPECT_EQ(static_cast<int>(ParseCornerAction(CornerActionName(static_cast<CornerAction>(value)))), value);
    }
    for (int value : {11, -1}) EXPECT_STREQ(CornerActionName(static_cast<CornerAction>(value)), L"Disabled") << value;
    EXPECT_STREQ(CornerActionName(Loftmoor), L"Loftmoor");  // the former name Tessawell is never written
}

LONG g_packageAnswer = 0;

// 122 (ERROR_INSUFFICIENT_BUFFER): the process has a package identity; 15700: APPMODEL_ERROR_NO_PACKAGE.
TEST(SettingsModel, IsPackagedRunOnlyWhenTheNameNeedsABuffer) {
    PlatformGuard platform;
    g_platform.getCurrentPackageFullName = [](UINT32* length, PWSTR buffer) -> LONG {
        const bool sizeQuery = length && *length == 0 && !buffer;
        if (length) *length = 40;
        return sizeQuery ? g_packageAnswer : ERROR_INVALID_PARAMETER;
    };
    for (const auto& [answer, packaged] : {std::pair<LONG, bool>{122, true}, {15700, false}, {ERROR_SUCCESS, false}}) {
        g_packageAnswer = answer;
        EXPECT_EQ(IsPackagedRun(), packaged) << answer;
    }
}

}  // namespace
