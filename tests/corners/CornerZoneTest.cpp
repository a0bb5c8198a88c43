// Corner zone geometry: which pixels of a monitor belong to which corner, at several DPIs.
#include <gtest/gtest.h>

#include "corners/CornerTracker.h"

namespace {

constexpr RECT kPrimary = {0, 0, 1920, 1080};

Settings AllWatched() {
    Settings s;
    s.topLeft = s.topRight = s.bottomLeft = s.bottomRight = CornerAction::TaskView;
    return s;
}

const char* Name(Corner corner) {
    switch (corner) {
    case Corner::TopLeft: return "TopLeft";
    case Corner::TopRight: return "TopRight";
    case Corner::BottomLeft: return "BottomLeft";
    case Corner::BottomRight: return "BottomRight";
    }
    return "?";
}

TEST(CornerZone, ZoneScalesWithMonitorDpi) {
    struct Case {
        int edgeZonePx;
        UINT dpi;
        int zone;
        int jump;
    };
    const Case cases[] = {
        {12, 96, 12, 240},  {12, 144, 18, 240}, {28, 192, 56, 448}, {4, 96, 4, 240},
        {28, 96, 28, 240},  {12, 120, 15, 240}, {28, 288, 84, 672},
        {12, 0, 12, 240},  // a monitor that reports no DPI is taken as 96
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.edgeZonePx << " px at " << c.dpi << " DPI");
        const int zone = ScaleZoneToDpi(c.edgeZonePx, c.dpi);
        EXPECT_EQ(zone, c.zone);
        EXPECT_EQ(JumpThreshold(zone), c.jump);
    }
}

// Distances from the corner's two edges; right and bottom distances are counted from the exclusive edge.
struct DistanceCase {
    int zone;
    int dx;
    int dy;
    bool inside;
};

POINT PointAt(const RECT& m, Corner corner, int dx, int dy) {
    const bool left = corner == Corner::TopLeft || corner == Corner::BottomLeft;
    const bool top = corner == Corner::TopLeft || corner == Corner::TopRight;
    return {left ? m.left + dx : m.right - dx, top ? m.top + dy : m.bottom - dy};
}

TEST(CornerZone, DistancesAndCutTipAtEachDpi) {
    const DistanceCase cases[] = {
        // 96 DPI, zone 12, tip cut at a distance sum of 18.
        {12, 1, 1, true}, {12, 12, 1, true}, {12, 1, 12, true}, {12, 12, 6, true}, {12, 6, 12, true},
        {12, 12, 7, false}, {12, 7, 12, false}, {12, 9, 9, true}, {12, 10, 9, false}, {12, 13, 1, false},
        {12, 1, 13, false},
        // 144 DPI: zone 18, sum 27.
        {18, 18, 9, true}, {18, 18, 10, false}, {18, 19, 1, false}, {18, 14, 13, true}, {18, 14, 14, false},
        // 192 DPI with a setting of 28: zone 56, sum 84.
        {56, 56, 28, true}, {56, 56, 29, false}, {56, 57, 1, false}, {56, 42, 42, true}, {56, 43, 42, false},
    };
    const Corner corners[] = {Corner::TopLeft, Corner::TopRight, Corner::BottomLeft, Corner::BottomRight};
    for (const RECT& monitor : {kPrimary, RECT{-1920, -200, 0, 880}, RECT{1920, 0, 4480, 1440}}) {
        for (Corner corner : corners) {
            for (const DistanceCase& c : cases) {
                SCOPED_TRACE(testing::Message() << Name(corner) << " zone " << c.zone << " distances (" << c.dx
                                                << ", " << c.dy << ") monitor left " << monitor.left);
                EXPECT_EQ(IsInCornerZone(PointAt(monitor, corner, c.dx, c.dy), monitor, c.zone, corner), c.inside);
            }
        }
    }
}

TEST(CornerZone, LeftAndTopEdgesAcceptDistanceZero) {
    // The pixel on the left or top edge itself is distance 0; right and bottom edges are exclusive,
    // so their outermost pixel is distance 1 (the last column and row).
    struct Case {
        POINT p;
        Corner corner;
        bool inside;
    };
    const Case cases[] = {
        {{0, 0}, Corner::TopLeft, true},          {{1919, 0}, Corner::TopRight, true},
        {{0, 1079}, Corner::BottomLeft, true},    {{1919, 1079}, Corner::BottomRight, true},
        {{12, 6}, Corner::TopLeft, true},         {{12, 7}, Corner::TopLeft, false},
        {{1920 - 12, 6}, Corner::TopRight, true}, {{1920 - 12, 7}, Corner::TopRight, false},
        {{0, 1080 - 12}, Corner::BottomLeft, true}, {{0, 1080 - 13}, Corner::BottomLeft, false},
        {{-1, 0}, Corner::TopLeft, false},        {{0, -1}, Corner::TopLeft, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << Name(c.corner) << " (" << c.p.x << ", " << c.p.y << ")");
        EXPECT_EQ(IsInCornerZone(c.p, kPrimary, 12, c.corner), c.inside);
    }
}

TEST(CornerZone, InteriorEdgeBandAndCorners) {
    struct Case {
        POINT p;
        ZonePlace place;
        Corner corner;
    };
    const Settings all = AllWatched();
    const Case cases[] = {
        {{960, 540}, ZonePlace::Interior, Corner::BottomRight},
        {{13, 13}, ZonePlace::Interior, Corner::BottomRight},          // first pixel past the zone on both axes
        {{1906, 1066}, ZonePlace::Interior, Corner::BottomRight},      // right - 14, bottom - 14
        {{1907, 1067}, ZonePlace::Interior, Corner::BottomRight},      // right - 13, bottom - 13
        {{1908, 540}, ZonePlace::EdgeBand, Corner::BottomRight},       // right - 12: band along the right edge
        {{12, 540}, ZonePlace::EdgeBand, Corner::BottomRight},         // left + 12: band along the left edge
        {{960, 0}, ZonePlace::EdgeBand, Corner::BottomRight},
        {{960, 1079}, ZonePlace::EdgeBand, Corner::BottomRight},
        {{12, 7}, ZonePlace::EdgeBand, Corner::BottomRight},           // the cut tip of the top-left zone
        {{0, 0}, ZonePlace::CornerZone, Corner::TopLeft},
        {{1919, 0}, ZonePlace::CornerZone, Corner::TopRight},
        {{0, 1079}, ZonePlace::CornerZone, Corner::BottomLeft},
        {{1919, 1079}, ZonePlace::CornerZone, Corner::BottomRight},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "(" << c.p.x << ", " << c.p.y << ")");
        const ZoneHit hit = LocatePointer(c.p, kPrimary, 12, all);
        EXPECT_EQ(hit.place, c.place);
        if (c.place == ZonePlace::CornerZone) {
            EXPECT_EQ(hit.corner, c.corner);
        }
    }
}

TEST(CornerZone, UnwatchedCornerIsEdgeBand) {
    Settings s;
    s.topLeft = CornerAction::Disabled;
    s.topRight = CornerAction::Notchling;
    s.bottomLeft = CornerAction::Disabled;
    s.bottomRight = CornerAction::Disabled;
    EXPECT_EQ(LocatePointer({0, 0}, kPrimary, 12, s).place, ZonePlace::EdgeBand);
    EXPECT_EQ(LocatePointer({1919, 1079}, kPrimary, 12, s).place, ZonePlace::EdgeBand);
    const ZoneHit hit = LocatePointer({1919, 0}, kPrimary, 12, s);
    EXPECT_EQ(hit.place, ZonePlace::CornerZone);
    EXPECT_EQ(hit.corner, Corner::TopRight);
}

TEST(CornerZone, OverlappingZonesOnATinyMonitor) {
    // On a 10 by 10 monitor with a zone of 12, the centre pixel lies in all four zones.
    const RECT tiny = {0, 0, 10, 10};
    const POINT centre = {5, 5};
    struct Case {
        bool topLeft, topRight, bottomLeft, bottomRight;
        ZonePlace place;
        Corner winner;
    };
    const Case cases[] = {
        {true, true, true, true, ZonePlace::CornerZone, Corner::TopLeft},
        {false, true, true, true, ZonePlace::CornerZone, Corner::TopRight},
        {false, false, true, true, ZonePlace::CornerZone, Corner::BottomLeft},
        {false, false, false, true, ZonePlace::CornerZone, Corner::BottomRight},
        {true, false, false, true, ZonePlace::CornerZone, Corner::TopLeft},
        {false, true, true, false, ZonePlace::CornerZone, Corner::TopRight},
        {false, false, false, false, ZonePlace::EdgeBand, Corner::BottomRight},
    };
    for (const Case& c : cases) {
        Settings s;
        s.topLeft = c.topLeft ? CornerAction::TaskView : CornerAction::Disabled;
        s.topRight = c.topRight ? CornerAction::TaskView : CornerAction::Disabled;
        s.bottomLeft = c.bottomLeft ? CornerAction::TaskView : CornerAction::Disabled;
        s.bottomRight = c.bottomRight ? CornerAction::TaskView : CornerAction::Disabled;
        SCOPED_TRACE(testing::Message() << "watched TL " << c.topLeft << " TR " << c.topRight << " BL " << c.bottomLeft
                                        << " BR " << c.bottomRight);
        const ZoneHit hit = LocatePointer(centre, tiny, 12, s);
        EXPECT_EQ(hit.place, c.place);
        if (c.place == ZonePlace::CornerZone) {
            EXPECT_EQ(hit.corner, c.winner);
        }
    }
}

TEST(CornerZone, AllZeroMonitorRectangleHasNoInterior) {
    // What a failed monitor query leaves: only the pixels around the origin are corner zones.
    const RECT zero = {0, 0, 0, 0};
    const Settings all = AllWatched();
    EXPECT_EQ(LocatePointer({960, 540}, zero, 12, all).place, ZonePlace::EdgeBand);
    EXPECT_EQ(LocatePointer({0, 0}, zero, 12, all).corner, Corner::TopLeft);
}

}  // namespace
