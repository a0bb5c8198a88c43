// Corner zone geometry: which pixels of a monitor belong to which corner, at several DPIs.
#include <gtest/gtest.h>

#include <utility>

#include "corners/CornerTracker.h"

namespace {

Settings Watching(bool tl, bool tr, bool bl, bool br) {
    const auto on = [](bool w) { return w ? CornerAction::TaskView : CornerAction::Disabled; };
    Settings s;
    s.topLeft = on(tl), s.topRight = on(tr), s.bottomLeft = on(bl), s.bottomRight = on(br);
    return s;
}

// Distances run from the left/top edge pixel (0) and from the exclusive right/bottom edge (1 for the
// last pixel); a zone z is a z-by-z square with its tip cut where the two distances add up to 1.5 z.
TEST(CornerZone, MembershipAtEachDpi) {
    const RECT monitors[] = {{0, 0, 1920, 1080}, {-1920, -200, 0, 880}};
    for (const auto& [dpi, zone] : {std::pair<UINT, int>{96, 12}, {144, 18}, {192, 24}}) {
        const int z = ScaleZoneToDpi(12, dpi), h = z / 2;
        ASSERT_EQ(z, zone) << dpi;
        // {dx, dy, inside}; 0 stands for the edge pixel: distance 0 on the left/top, 1 on the right/bottom.
        // At 96 DPI {z, h} and {z, h + 1} are the pixels (12, 6) and (12, 7) of the top-left corner.
        const struct { int dx, dy; bool inside; } rows[] = {
            {0, 0, true}, {z, 0, true}, {0, z, true}, {z + 1, 0, false}, {0, z + 1, false},
            {z, h, true}, {z, h + 1, false}, {h + 1, z, false}};
        for (const RECT& m : monitors) {
            for (Corner corner : {Corner::TopLeft, Corner::TopRight, Corner::BottomLeft, Corner::BottomRight}) {
                const bool left = corner == Corner::TopLeft || corner == Corner::BottomLeft;
                const bool top = corner == Corner::TopLeft || corner == Corner::TopRight;
                for (const auto& r : rows) {
                    const int dx = r.dx ? r.dx : (left ? 0 : 1), dy = r.dy ? r.dy : (top ? 0 : 1);
                    const POINT at = {left ? m.left + dx : m.right - dx, top ? m.top + dy : m.bottom - dy};
                    EXPECT_EQ(IsInCornerZone(at, m, z, corner), r.inside)
                        << dpi << " DPI, corner " << static_cast<int>(corner) << " at (" << at.x << ", " << at.y << ")";
                }
            }
        }
    }
}

TEST(CornerZone, InteriorEdgeBandAndOverlapPrecedence) {
    const RECT full = {0, 0, 1920, 1080}, tiny = {0, 0, 10, 10};  // on the tiny one (5, 5) is in all four zones
    const Settings all = Watching(true, true, true, true);
    const struct { RECT monitor; POINT p; Settings watched; ZonePlace place; Corner corner; } cases[] = {
        {full, {13, 13}, all, ZonePlace::Interior, {}},
        {full, {1906, 1066}, all, ZonePlace::Interior, {}},
        {full, {12, 540}, all, ZonePlace::EdgeBand, {}},
        {full, {1908, 540}, all, ZonePlace::EdgeBand, {}},
        {full, {960, 1079}, all, ZonePlace::EdgeBand, {}},
        {full, {12, 7}, all, ZonePlace::EdgeBand, {}},
        {full, {1919, 1079}, all, ZonePlace::CornerZone, Corner::BottomRight},
        {full, {0, 0}, Watching(false, true, false, false), ZonePlace::EdgeBand, {}},  // unwatched corner
        {tiny, {5, 5}, all, ZonePlace::CornerZone, Corner::TopLeft},
        {tiny, {5, 5}, Watching(false, true, true, true), ZonePlace::CornerZone, Corner::TopRight},
        {tiny, {5, 5}, Watching(false, false, true, true), ZonePlace::CornerZone, Corner::BottomLeft},
        {tiny, {5, 5}, Watching(false, false, false, true), ZonePlace::CornerZone, Corner::BottomRight},
    };
    for (const auto& c : cases) {
        const ZoneHit hit = LocatePointer(c.p, c.monitor, 12, c.watched);
        SCOPED_TRACE(testing::Message() << "(" << c.p.x << ", " << c.p.y << ") on " << c.monitor.right << " wide");
        EXPECT_EQ(hit.place, c.place);
        EXPECT_EQ(hit.place == ZonePlace::CornerZone ? hit.corner : Corner{}, c.corner);
    }
}

}  // namespace
