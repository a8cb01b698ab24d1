// The view of the patch area: zooming around a window pixel keeps the patch
// point under it, fitting shows a box whole, every zoom stays in 25..200 %,
// and a hanging cable's sag stays bounded.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/draw.h"
#include "engine/globals.h"
#include "engine/view.h"

namespace {
struct ViewReset : ::testing::Test {
    void TearDown() override {
        set_view_zoom(1);
        offsx = offsy = 0;
        set_cable_floor(1e9f);
    }
};

struct ZOOM_CASE {
    float from, to;
    int wx, wy, ox, oy;
};
class ZoomAround : public ViewReset, public ::testing::WithParamInterface<ZOOM_CASE> {};
}  // namespace

TEST_P(ZoomAround, KeepsThePatchPointUnderThePointer) {
    const ZOOM_CASE c = GetParam();
    set_view_zoom(c.from);
    offsx = c.ox;
    offsy = c.oy;
    const float px = patch_x((float)c.wx), py = patch_y((float)c.wy);
    zoom_around(c.to, c.wx, c.wy);
    EXPECT_FLOAT_EQ(view_zoom(), c.to);
    // Drawn through the view, the point lands within half a pixel of the pointer.
    EXPECT_NEAR(window_x(px), c.wx, 0.5 + c.to / 2);
    EXPECT_NEAR(window_y(py), c.wy, 0.5 + c.to / 2);
    EXPECT_NEAR(patch_x((float)c.wx), px, 0.5f / c.to + 0.01f);
}

INSTANTIATE_TEST_SUITE_P(View, ZoomAround,
                         ::testing::Values(ZOOM_CASE{1, 0.5f, 0, 0, 0, 0}, ZOOM_CASE{1, 0.5f, 300, 200, 0, 0},
                                           ZOOM_CASE{0.5f, 2, 517, 333, -40, 120},
                                           ZOOM_CASE{2, 0.25f, 1023, 700, 900, 15},
                                           ZOOM_CASE{0.75f, 1.1f, 12, 745, 3, -7}));

TEST_F(ViewReset, ZoomIsHeldWithin25To200PerCent) {
    for (const float asked : {0.01f, 0.25f, 1.0f, 2.0f, 9.0f, NAN}) {
        set_view_zoom(asked);
        EXPECT_GE(view_zoom(), ZOOM_MIN);
        EXPECT_LE(view_zoom(), ZOOM_MAX);
    }
    set_view_zoom(NAN);
    EXPECT_EQ(view_zoom(), 1.0f);
}

TEST_F(ViewReset, HalfPixelPlacesDrawOnWholePixelsAtHundredPerCent) {
    offsx = 3;
    offsy = -2;
    EXPECT_EQ(window_y(182.5f), 185.0f);  // round(182.5) + 2
    EXPECT_EQ(window_x(10.0f), 7.0f);
    EXPECT_EQ(window_y(182.5f) - window_y(39.5f), 143.0f) << "two half-pixel rows keep their whole distance";
}

TEST_F(ViewReset, FitShowsTheWholeBoxCentred) {
    // A 2000 x 900 patch in a 1000 x 700 area with 8 pixels around it.
    fit_view(0, 25, 2000, 900, 1000, 700, 8);
    EXPECT_NEAR(view_zoom(), (1000 - 16) / 2000.0f, 1e-6);
    EXPECT_GE(window_x(0), 8 - 1);
    EXPECT_LE(window_x(2000), 1000 - 8 + 1);
    EXPECT_GE(window_y(25), 0);
    EXPECT_LE(window_y(925), 700);
    EXPECT_NEAR((window_y(25) + window_y(925)) / 2, 350, 1);
    // Too small a window still gives the smallest zoom, not less.
    fit_view(0, 0, 100000, 100, 1000, 700, 8);
    EXPECT_EQ(view_zoom(), ZOOM_MIN);
}

TEST_F(ViewReset, CableSagIsBoundedAndStaysAboveTheFloor) {
    // Short and high: the natural sag (the middle control point at the sum of the ends' rows).
    EXPECT_FLOAT_EQ(cable_sag_row(100, 50, 200, 50), 100);
    // Low on the rack: at most CABLE_SAG_MIN + chord / 10 below the chord at
    // the middle (the control point hangs twice that).
    const float control = cable_sag_row(0, 600, 300, 600);
    EXPECT_FLOAT_EQ((600 + 2 * control + 600) / 4 - 600, CABLE_SAG_MIN + 30);
    // Long: never more than CABLE_SAG_MAX.
    const float long_control = cable_sag_row(0, 600, 5000, 600);
    EXPECT_FLOAT_EQ((600 + 2 * long_control + 600) / 4 - 600, CABLE_SAG_MAX);
    // A floor just under the ends: the lowest point stays on it.
    set_cable_floor(620);
    const float floored = cable_sag_row(0, 600, 300, 600);
    EXPECT_LE((600 + 2 * floored + 600) / 4, 620.0f);
    EXPECT_GE(floored, 600.0f);
}
