#include "uitoolkit/render/PaintSurface.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "uitoolkit/render/DrawEngine.h"

namespace {

using ZembraUI::CPaintSurface;
using ZembraUI::UIRect;
using Rects = std::vector<UIRect>;

TEST(PaintSurfaceTest, ResizeDirtiesEverythingOnlyWhenTheSizeChanges) {
    CPaintSurface surface;
    EXPECT_EQ(surface.BeginPaint({0, 0, 1, 1}), nullptr);
    ASSERT_TRUE(surface.Resize(30, 20));
    EXPECT_EQ(surface.TakeDirty(), (Rects{{0, 0, 30, 20}}));
    EXPECT_TRUE(surface.Resize(30, 20));
    EXPECT_FALSE(surface.HasDirty());

    // Nonsense sizes are refused and the old surface stays.
    EXPECT_FALSE(surface.Resize(0, 20));
    EXPECT_FALSE(surface.Resize(40000, 20));
    EXPECT_EQ(surface.Width(), 30);
    EXPECT_NE(surface.Surface(), nullptr);
}

TEST(PaintSurfaceTest, DirtyRectanglesAreClippedAndCoalesced) {
    CPaintSurface surface;
    ASSERT_TRUE(surface.Resize(100, 100));
    surface.TakeDirty();

    surface.Invalidate({-10, -10, 5, 5});   // clipped
    surface.Invalidate({200, 0, 300, 10});  // outside: dropped
    surface.Invalidate({50, 50, 60, 60});   // far away: kept apart
    surface.Invalidate({3, 3, 8, 8});       // overlaps the first
    surface.Invalidate({60, 50, 70, 60});   // a neighbour of the same height
    EXPECT_EQ(surface.TakeDirty(), (Rects{{0, 0, 8, 8}, {50, 50, 70, 60}}));
    EXPECT_FALSE(surface.HasDirty());

    // Many scattered rectangles stay few, and every one stays covered.
    for (int i = 0; i < 40; ++i) surface.Invalidate({i * 2, i * 2, i * 2 + 1, i * 2 + 1});
    const Rects dirty = surface.TakeDirty();
    EXPECT_LE(dirty.size(), 16u);
    for (int i = 0; i < 40; ++i) {
        const UIRect pixel{i * 2, i * 2, i * 2 + 1, i * 2 + 1};
        EXPECT_TRUE(std::any_of(dirty.begin(), dirty.end(),
                                [&](const UIRect& rect) { return ZembraUI::IntersectRects(rect, pixel) == pixel; }))
            << i;
    }
}

TEST(PaintSurfaceTest, LayeredPaintClearsThenMakesColouredPixelsOpaque) {
    CPaintSurface surface;
    ASSERT_TRUE(surface.Resize(4, 2));
    cairo_t* cr = surface.BeginPaint({0, 0, 4, 2});
    ZembraUI::CDrawEngine::DrawColor(cr, {0, 0, 4, 2}, 0xFF336699);
    cairo_destroy(cr);

    surface.ClearToTransparent({0, 0, 3, 1});
    EXPECT_EQ(surface.PixelAt(0, 0), 0u);
    EXPECT_EQ(surface.PixelAt(3, 0), 0xFF336699u);
    EXPECT_EQ(surface.PixelAt(0, 1), 0xFF336699u);

    // Pixels written without alpha, as a colour-only text pass leaves them.
    cairo_surface_flush(surface.Surface());
    auto* pixels = reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(surface.Surface()));
    pixels[0] = 0x00000000;  // black: stays transparent
    pixels[1] = 0x00123456;  // coloured: becomes opaque
    pixels[2] = 0x80402010;  // translucent: unchanged
    pixels[3] = 0x00ABCDEF;  // outside the rectangle: unchanged
    cairo_surface_mark_dirty(surface.Surface());

    surface.ApplyLayeredAlphaRule({0, 0, 3, 2});
    EXPECT_EQ(surface.PixelAt(0, 0), 0x00000000u);
    EXPECT_EQ(surface.PixelAt(1, 0), 0xFF123456u);
    EXPECT_EQ(surface.PixelAt(2, 0), 0x80402010u);
    EXPECT_EQ(surface.PixelAt(3, 0), 0x00ABCDEFu);
}

}  // namespace
