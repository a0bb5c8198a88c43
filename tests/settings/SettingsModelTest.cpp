// The settings vocabulary: action names as the file holds them, corner slots, and the packaged-run test.
#include <gtest/gtest.h>

#include "app/Platform.h"
#include "settings/Settings.h"
#include "support/TestSupport.h"

namespace {

TEST(SettingsModel, ParseCornerActionFoldsCaseAndAcceptsTheFormerName) {
    struct Case {
        const wchar_t* text;
        CornerAction action;
    };
    const Case cases[] = {
        {L"TaskView", CornerAction::TaskView},
        {L"taskview", CornerAction::TaskView},
        {L"TASKVIEW", CornerAction::TaskView},
        {L"tAsKvIeW", CornerAction::TaskView},
        {L"Task View", CornerAction::Disabled},
        {L"task view", CornerAction::Disabled},
        {L" TaskView", CornerAction::Disabled},  // values arrive trimmed; nothing is trimmed here
        {L"TaskView ", CornerAction::Disabled},
        {L"TaskView ; opens Task View", CornerAction::Disabled},
        {L"TaskViews", CornerAction::Disabled},
        {L"TaskVie", CornerAction::Disabled},
        {L"Loftmoor", CornerAction::Loftmoor},
        {L"LOFTMOOR", CornerAction::Loftmoor},
        {L"Tessawell", CornerAction::Loftmoor},
        {L"tessawell", CornerAction::Loftmoor},
        {L"Notchling", CornerAction::Notchling},
        {L"notchling", CornerAction::Notchling},
        {L"FramwickRegion", CornerAction::FramwickRegion},
        {L"framwickwindow", CornerAction::FramwickWindow},
        {L"FRAMWICKFULLSCREEN", CornerAction::FramwickFullscreen},
        {L"FramwickFreeform", CornerAction::FramwickFreeform},
        {L"FramwickScroll", CornerAction::FramwickScroll},
        {L"FramwickOcr", CornerAction::FramwickOcr},
        {L"FramwickOCR", CornerAction::FramwickOcr},
        {L"FramwickBar", CornerAction::FramwickBar},
        {L"Framwick", CornerAction::Disabled},
        {L"Disabled", CornerAction::Disabled},
        {L"None", CornerAction::Disabled},
        {L"Off", CornerAction::Disabled},
        {L"", CornerAction::Disabled},
        {nullptr, CornerAction::Disabled},
        {L"1", CornerAction::Disabled},
        {L"Ｔａｓｋｖｉｅｗ", CornerAction::Disabled},  // full-width letters do not fold to ASCII
        {L"TAS\u212AVIEW", CornerAction::Disabled},          // Kelvin sign is not the letter K
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.text ? c.text : L"(null)"));
        EXPECT_EQ(ParseCornerAction(c.text), c.action);
    }
}

TEST(SettingsModel, CornerActionNameIsCanonicalAndNeverNull) {
    struct Case {
        int value;
        const wchar_t* name;
    };
    const Case cases[] = {
        {0, L"Disabled"},          {1, L"TaskView"},        {2, L"Loftmoor"},       {3, L"Notchling"},
        {4, L"FramwickRegion"},    {5, L"FramwickWindow"},  {6, L"FramwickFullscreen"},
        {7, L"FramwickFreeform"},  {8, L"FramwickScroll"},  {9, L"FramwickOcr"},    {10, L"FramwickBar"},
        {11, L"Disabled"},         {-1, L"Disabled"},       {INT32_MIN, L"Disabled"}, {INT32_MAX, L"Disabled"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        const wchar_t* name = CornerActionName(static_cast<CornerAction>(c.value));
        ASSERT_NE(name, nullptr);
        EXPECT_STREQ(name, c.name);
    }
}

TEST(SettingsModel, EveryCanonicalNameParsesBackToItsAction) {
    for (int value = 0; value <= 10; ++value) {
        SCOPED_TRACE(value);
        const auto action = static_cast<CornerAction>(value);
        EXPECT_EQ(ParseCornerAction(CornerActionName(action)), action);
    }
    // The former name is read but never written.
    EXPECT_STREQ(CornerActionName(ParseCornerAction(L"Tessawell")), L"Loftmoor");
}

TEST(SettingsModel, DefaultsBeforeAnythingIsRead) {
    const Settings s;
    EXPECT_EQ(s.topLeft, CornerAction::Disabled);
    EXPECT_EQ(s.topRight, CornerAction::TaskView);
    EXPECT_EQ(s.bottomLeft, CornerAction::Disabled);
    EXPECT_EQ(s.bottomRight, CornerAction::Disabled);
    EXPECT_EQ(s.edgeZonePx, 12);
    EXPECT_EQ(s.cornerDwellMs, 350);
    EXPECT_FALSE(s.runAtStartup);
    EXPECT_EQ(s.language[0], L'\0');
}

TEST(SettingsModel, CornersMapToTheirOwnFieldsAndKeys) {
    GlobalsGuard globals;
    struct Case {
        Corner corner;
        int value;
        CornerAction Settings::*field;
        const wchar_t* key;
    };
    const Case cases[] = {
        {Corner::BottomRight, 0, &Settings::bottomRight, L"BottomRight"},
        {Corner::BottomLeft, 1, &Settings::bottomLeft, L"BottomLeft"},
        {Corner::TopRight, 2, &Settings::topRight, L"TopRight"},
        {Corner::TopLeft, 3, &Settings::topLeft, L"TopLeft"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(static_cast<int>(c.corner), c.value);
        g_settings = Settings{};
        g_settings.topLeft = g_settings.topRight = g_settings.bottomLeft = g_settings.bottomRight =
            CornerAction::Disabled;
        ActionSlot(c.corner) = CornerAction::FramwickOcr;
        EXPECT_EQ(g_settings.*c.field, CornerAction::FramwickOcr);
        EXPECT_EQ(ActionFor(c.corner), CornerAction::FramwickOcr);
        EXPECT_STREQ(CornerKeyName(c.corner), c.key);
        int others = 0;
        for (Corner other : {Corner::BottomRight, Corner::BottomLeft, Corner::TopRight, Corner::TopLeft}) {
            if (ActionFor(other) != CornerAction::Disabled) ++others;
        }
        EXPECT_EQ(others, 1);
    }
}

LONG g_packageAnswer = 0;
int g_packageCalls = 0;
UINT32 g_lengthSeen = 0xFFFF;
bool g_bufferWasNull = false;

LONG WINAPI FakePackageFullName(UINT32* length, PWSTR buffer) {
    ++g_packageCalls;
    g_lengthSeen = length ? *length : 0xFFFF;
    g_bufferWasNull = buffer == nullptr;
    if (length) *length = 40;
    return g_packageAnswer;
}

TEST(SettingsModel, IsPackagedRunOnlyWhenTheNameNeedsABuffer) {
    PlatformGuard platform;
    g_platform.getCurrentPackageFullName = &FakePackageFullName;
    struct Case {
        LONG answer;
        bool packaged;
    };
    const Case cases[] = {
        {ERROR_INSUFFICIENT_BUFFER, true},  // 122: the process has a package identity
        {15700, false},                     // APPMODEL_ERROR_NO_PACKAGE
        {ERROR_SUCCESS, false},
        {ERROR_INVALID_PARAMETER, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        g_packageAnswer = c.answer;
        g_packageCalls = 0;
        EXPECT_EQ(IsPackagedRun(), c.packaged);
        EXPECT_EQ(g_lengthSeen, 0u);
        EXPECT_TRUE(g_bufferWasNull);
        // Asked afresh every time, never remembered.
        g_packageAnswer = c.packaged ? 15700 : ERROR_INSUFFICIENT_BUFFER;
        EXPECT_EQ(IsPackagedRun(), !c.packaged);
        EXPECT_EQ(g_packageCalls, 2);
    }
}

TEST(SettingsModel, UnderWineTheRealRunIsUnpackaged) {
    // Wine answers APPMODEL_ERROR_NO_PACKAGE, as an unpackaged Windows process hears.
    EXPECT_FALSE(IsPackagedRun());
}

}  // namespace
