#include "uitoolkit/window/FrameHitTest.h"

#include <gtest/gtest.h>

namespace {

using ZembraUI::FrameArea;
using ZembraUI::HitTestFrame;
using ZembraUI::UIPoint;
using ZembraUI::UIRect;
using ZembraUI::UISize;

constexpr UISize kSize{100, 80};
constexpr UIRect kSizeBox{4, 4, 4, 4};

FrameArea At(int x, int y, const UIRect& caption = {}, bool maximized = false) {
    return HitTestFrame(UIPoint{x, y}, kSize, kSizeBox, caption, maximized);
}

TEST(FrameHitTestTest, ResizeBordersAndCorners) {
    EXPECT_EQ(At(0, 0), FrameArea::TopLeft);
    EXPECT_EQ(At(50, 3), FrameArea::Top);
    EXPECT_EQ(At(97, 0), FrameArea::TopRight);
    EXPECT_EQ(At(3, 40), FrameArea::Left);
    EXPECT_EQ(At(97, 40), FrameArea::Right);
    EXPECT_EQ(At(50, 77), FrameArea::Bottom);
    EXPECT_EQ(At(0, 79), FrameArea::BottomLeft);
    EXPECT_EQ(At(99, 79), FrameArea::BottomRight);
    // The right and bottom bands start one pixel further in than their width suggests.
    EXPECT_EQ(At(96, 40), FrameArea::Client);
    EXPECT_EQ(At(50, 76), FrameArea::Client);
    EXPECT_EQ(At(4, 4), FrameArea::Client);
}

TEST(FrameHitTestTest, CaptionBandAndMaximizedWindows) {
    const UIRect caption{10, 0, 10, 30};  // margins from the sides, then the band's depth
    EXPECT_EQ(At(10, 10, caption), FrameArea::Caption);
    EXPECT_EQ(At(89, 29, caption), FrameArea::Caption);
    EXPECT_EQ(At(9, 10, caption), FrameArea::Client);
    EXPECT_EQ(At(90, 10, caption), FrameArea::Client);
    EXPECT_EQ(At(50, 30, caption), FrameArea::Client);
    // A maximised window has no borders: its top edge is caption.
    EXPECT_EQ(At(50, 0, caption), FrameArea::Top);
    EXPECT_EQ(At(50, 0, caption, true), FrameArea::Caption);
    EXPECT_EQ(At(0, 79, caption, true), FrameArea::Client);
}

}  // namespace
