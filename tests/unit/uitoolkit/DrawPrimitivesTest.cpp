#include <gtest/gtest.h>

#include <cstdint>
#include <set>

#include "uitoolkit/render/DrawEngine.h"
#include "uitoolkit/render/PaintSurface.h"
#include "unit/uitoolkit/SurfaceProbe.h"

namespace {

using ZembraUI::CDrawEngine;
using ZembraUI::CPaintSurface;
using ZembraUI::UIRect;
using testsupport::ChangedArea;
using testsupport::NearColour;

constexpr std::uint32_t kWhite = 0xFFFFFFFF;
constexpr std::uint32_t kRed = 0xFFFF0000;

class DrawPrimitivesTest : public ::testing::Test {
protected:
    void SetUp() override { testsupport::FillSurface(surface_, 40, 40, kWhite); }

    // A context clipped to the area being repainted.
    cairo_t* Paint(const UIRect& area = {0, 0, 40, 40}) {
        if (cr_ != nullptr) cairo_destroy(cr_);
        cr_ = surface_.BeginPaint(area);
        return cr_;
    }
    void TearDown() override {
        if (cr_ != nullptr) cairo_destroy(cr_);
    }

    CPaintSurface surface_;
    cairo_t* cr_ = nullptr;
};

TEST_F(DrawPrimitivesTest, ColourFillsFollowTheirAlpha) {
    // Six hexadecimal digits leave alpha at 0: nothing is painted.
    CDrawEngine::DrawColor(Paint(), {0, 0, 40, 40}, 0x00333333);
    CDrawEngine::DrawLine(Paint(), {0, 5, 40, 5}, 1, 0x00333333);
    CDrawEngine::DrawRect(Paint(), {0, 0, 40, 40}, 1, 0x00333333);
    EXPECT_TRUE(ChangedArea(surface_, kWhite).IsEmpty());

    // An opaque colour over a whole control touches only the repainted area.
    CDrawEngine::DrawColor(Paint({5, 5, 15, 10}), {0, 0, 40, 40}, 0xFF333333);
    EXPECT_EQ(ChangedArea(surface_, kWhite), (UIRect{5, 5, 15, 10}));
    EXPECT_EQ(surface_.PixelAt(5, 5), 0xFF333333u);

    // A translucent one blends with what lies beneath.
    CDrawEngine::DrawColor(Paint(), {20, 20, 30, 30}, 0x80FF0000);
    EXPECT_TRUE(NearColour(surface_.PixelAt(25, 25), 0xFFFF7F7F));
}

TEST_F(DrawPrimitivesTest, GradientBandsRunFromFirstToSecondColour) {
    CDrawEngine::DrawGradient(Paint(), {0, 0, 10, 32}, 0xFF000000, 0xFF0000F0, true, 16);
    std::set<std::uint32_t> bands;
    for (int y = 0; y < 32; ++y) bands.insert(surface_.PixelAt(3, y));
    EXPECT_EQ(bands.size(), 16u);
    EXPECT_EQ(surface_.PixelAt(3, 0), 0xFF000000u);
    EXPECT_EQ(surface_.PixelAt(3, 1), 0xFF000000u);  // 2 rows per band
    EXPECT_EQ(surface_.PixelAt(3, 31), 0xFF0000F0u);
    EXPECT_EQ(surface_.PixelAt(3, 2) & 0xFF, 16u);
    EXPECT_EQ(surface_.PixelAt(20, 5), kWhite);

    // Horizontal, and more steps than pixels: one band per pixel.
    CDrawEngine::DrawGradient(Paint(), {20, 0, 24, 4}, 0xFFFF0000, 0xFF0000FF, false, 16);
    EXPECT_EQ(surface_.PixelAt(20, 0), 0xFFFF0000u);
    EXPECT_EQ(surface_.PixelAt(21, 0), 0xFFAA0055u);
    EXPECT_EQ(surface_.PixelAt(23, 3), 0xFF0000FFu);
}

TEST_F(DrawPrimitivesTest, LinesAndOutlinesCoverWholePixels) {
    CDrawEngine::DrawLine(Paint(), {2, 5, 8, 5}, 1, kRed);
    EXPECT_EQ(ChangedArea(surface_, kWhite), (UIRect{2, 5, 8, 6}));
    EXPECT_EQ(surface_.PixelAt(2, 5), kRed);
    EXPECT_EQ(surface_.PixelAt(7, 5), kRed);

    testsupport::FillSurface(surface_, 40, 40, kWhite);
    CDrawEngine::DrawLine(Paint(), {4, 0, 4, 10}, 3, kRed);
    EXPECT_EQ(ChangedArea(surface_, kWhite), (UIRect{3, 0, 6, 10}));

    // An outline of width 2 lies inside its rectangle.
    testsupport::FillSurface(surface_, 40, 40, kWhite);
    CDrawEngine::DrawRect(Paint(), {10, 10, 20, 20}, 2, kRed);
    EXPECT_EQ(ChangedArea(surface_, kWhite), (UIRect{10, 10, 20, 20}));
    EXPECT_EQ(surface_.PixelAt(11, 15), kRed);
    EXPECT_EQ(surface_.PixelAt(18, 18), kRed);
    EXPECT_EQ(surface_.PixelAt(12, 12), kWhite);

    // Dotted pens leave gaps; width 0 and the null pen draw nothing.
    testsupport::FillSurface(surface_, 40, 40, kWhite);
    CDrawEngine::DrawLine(Paint(), {0, 1, 10, 1}, 1, kRed, 2);
    EXPECT_EQ(surface_.PixelAt(0, 1), kRed);
    EXPECT_EQ(surface_.PixelAt(1, 1), kWhite);
    CDrawEngine::DrawLine(Paint(), {0, 30, 40, 30}, 0, kRed);
    CDrawEngine::DrawRect(Paint(), {0, 20, 40, 40}, 1, kRed, 5);
    EXPECT_EQ(ChangedArea(surface_, kWhite), (UIRect{0, 1, 9, 2}));
}

TEST_F(DrawPrimitivesTest, RoundedCornersStayOutside) {
    CDrawEngine::DrawRoundRect(Paint(), {0, 0, 20, 20}, 1, 10, 10, kRed);
    EXPECT_EQ(surface_.PixelAt(0, 0), kWhite);
    EXPECT_EQ(surface_.PixelAt(10, 0), kRed);
    EXPECT_EQ(surface_.PixelAt(0, 10), kRed);
    EXPECT_EQ(surface_.PixelAt(10, 10), kWhite);

    cairo_t* cr = Paint();
    CDrawEngine::ClipRoundRect(cr, {20, 20, 40, 40}, 12, 12);
    CDrawEngine::DrawColor(cr, {0, 0, 40, 40}, kRed);
    EXPECT_EQ(ChangedArea(surface_, kWhite), (UIRect{0, 0, 40, 40}));
    EXPECT_EQ(surface_.PixelAt(20, 20), kWhite);
    EXPECT_EQ(surface_.PixelAt(39, 39), kWhite);
    EXPECT_EQ(surface_.PixelAt(30, 20), kRed);
    EXPECT_EQ(surface_.PixelAt(19, 30), kWhite);  // outside the clip
}

}  // namespace
