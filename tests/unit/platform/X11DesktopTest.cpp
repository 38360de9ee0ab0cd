#include "platform/X11Desktop.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using platform::RowSpan;
using platform::ShapeRect;

TEST(X11DesktopTest, RoundedRowsAreSymmetricAndWholeInTheMiddle) {
    const auto rows = platform::RoundRectRows(40, 30, 12, 12);
    ASSERT_EQ(rows.size(), 30u);
    EXPECT_EQ(rows[0], (RowSpan{4, 36}));  // 6 - 6 * sqrt(1 - (5.5 / 6)^2) = 3.6 left out
    EXPECT_EQ(rows[29], rows[0]);
    EXPECT_EQ(rows[5], (RowSpan{0, 40}));
    EXPECT_EQ(rows[15], (RowSpan{0, 40}));
    for (std::size_t y = 1; y < 6; ++y) EXPECT_LE(rows[y].left, rows[y - 1].left) << y;
    // No rounding: every row whole, merged into one rectangle.
    EXPECT_EQ(platform::ShapeOfRows(platform::RoundRectRows(40, 30, 0, 0)), (std::vector<ShapeRect>{{0, 0, 40, 30}}));
    // Corners larger than the window are limited to it.
    EXPECT_EQ(platform::RoundRectRows(10, 10, 500, 500).size(), 10u);
}

TEST(X11DesktopTest, AlphaShapeKeepsVisiblePixelsWithinTheRows) {
    // 4 x 3: a transparent column at x = 1, the bottom row fully transparent.
    const std::vector<std::uint32_t> pixels = {
        0xFF000000, 0x00FFFFFF, 0x80000000, 0x01000000,
        0xFF000000, 0x00000000, 0xFF000000, 0xFF000000,
        0x00000000, 0x00000000, 0x00000000, 0x00000000,
    };
    EXPECT_EQ(platform::AlphaShape(pixels.data(), 4, 3, 4),
              (std::vector<ShapeRect>{{0, 0, 1, 2}, {2, 0, 2, 2}}));
    const std::vector<RowSpan> limits = {{0, 3}, {0, 4}, {0, 4}};
    EXPECT_EQ(platform::AlphaShape(pixels.data(), 4, 3, 4, limits),
              (std::vector<ShapeRect>{{0, 0, 1, 1}, {2, 0, 1, 1}, {0, 1, 1, 1}, {2, 1, 2, 1}}));
}

TEST(X11DesktopTest, DesktopScaleFromTheEnvironmentOrTheResources) {
    EXPECT_EQ(platform::DesktopScale(nullptr, ""), 1.0);
    EXPECT_EQ(platform::DesktopScale(nullptr, "Xft.antialias:\t1\nXft.dpi:\t192\n"), 2.0);
    EXPECT_EQ(platform::DesktopScale(nullptr, "Xft.dpi: 120"), 1.25);
    EXPECT_EQ(platform::DesktopScale("2", "Xft.dpi:\t96"), 2.0);
    EXPECT_EQ(platform::DesktopScale("0", "Xft.dpi:\t144"), 1.5);
    EXPECT_EQ(platform::DesktopScale(nullptr, "Xft.dpi:\t72"), 1.0);
    EXPECT_EQ(platform::DesktopScale("9", ""), 4.0);
    EXPECT_EQ(platform::DesktopScale(nullptr, "Xft.dpi:\tlarge"), 1.0);
}

}  // namespace
