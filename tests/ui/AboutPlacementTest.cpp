#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "ui/AboutWindow.h"

namespace {

struct PlacementCase {
    const char* name;
    POINT pointer;
    RECT workArea;
    int dpi;
    RECT expected;
};

std::string Describe(const RECT& r) {
    char text[64] = {};
    snprintf(text, sizeof(text), "{%ld, %ld, %ld, %ld}", r.left, r.top, r.right, r.bottom);
    return text;
}

}  // namespace

// The card is centred under the pointer, sits 12 px (scaled) above the bottom of the work area
// whatever the pointer's height, and keeps 12 px (scaled) from the work area's sides.
TEST(AboutPlacement, CentredUnderPointerAtTheBottomAndClampedInsideTheWorkArea) {
    const RECT screen{0, 0, 1280, 800};
    const PlacementCase cases[] = {
        {"centre, 96 DPI", {640, 400}, screen, 96, {390, 588, 890, 788}},
        {"pointer height does not matter", {640, 3}, screen, 96, {390, 588, 890, 788}},
        {"far left keeps 12 px", {0, 400}, screen, 96, {12, 588, 512, 788}},
        {"just inside the left limit", {262, 400}, screen, 96, {12, 588, 512, 788}},
        {"one past the left limit", {263, 400}, screen, 96, {13, 588, 513, 788}},
        {"far right keeps 12 px", {1279, 799}, screen, 96, {768, 588, 1268, 788}},
        {"centre, 144 DPI", {640, 400}, screen, 144, {265, 482, 1015, 782}},
        {"far left, 144 DPI keeps 18 px", {5, 400}, screen, 144, {18, 482, 768, 782}},
        {"far right, 144 DPI keeps 18 px", {1279, 400}, screen, 144, {512, 482, 1262, 782}},
        {"120 DPI rounds the sizes", {1000, 0}, screen, 120, {640, 535, 1265, 785}},
        {"taskbar at the bottom", {640, 790}, {0, 0, 1280, 760}, 96, {390, 548, 890, 748}},
        {"taskbar at the top", {640, 10}, {0, 40, 1280, 800}, 96, {390, 588, 890, 788}},
        {"monitor left of the primary", {-5, 10}, {-1920, 0, 0, 1040}, 96, {-512, 828, -12, 1028}},
        {"monitor left of the primary, its left edge", {-1920, 10}, {-1920, 0, 0, 1040}, 96, {-1908, 828, -1408, 1028}},
        {"monitor above the primary", {100, -500}, {0, -1080, 1920, -40}, 96, {12, -252, 512, -52}},
        {"work area narrower than the card: left wins", {300, 100}, {0, 0, 400, 600}, 96, {12, 388, 512, 588}},
        {"narrow, pointer at the right", {399, 100}, {100, 0, 400, 600}, 96, {112, 388, 612, 588}},
    };
    for (const PlacementCase& c : cases) {
        SCOPED_TRACE(c.name);
        RECT placed = PlaceAboutWindow(c.pointer, c.workArea, c.dpi);
        EXPECT_EQ(Describe(placed), Describe(c.expected));
    }
}
