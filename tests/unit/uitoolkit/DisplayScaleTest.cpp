// A manager on a scaled display: the same layout in skin units, painted
// into a surface scale times as large.
#include <gtest/gtest.h>

#include <cstdlib>

#include "uitoolkit/controls/ControlUI.h"
#include "uitoolkit/headless/HeadlessWindow.h"
#include "uitoolkit/markup/SkinArchive.h"

namespace {

using ZembraUI::CHeadlessWindow;
using ZembraUI::CPaintSurface;

constexpr const char* kMarkup = R"(<Window size="240,120" roundcorner="6,6">
  <VerticalLayout bkcolor="#FFF4F6FA" inset="8,8,8,8" childpadding="6">
    <Label name="title" height="28" text="Zembra Morvanta 日本語" font="-1" textcolor="#FF203040" />
    <HorizontalLayout height="36" childpadding="10">
      <Button name="ok" width="100" bkcolor="#FF2563EB" bordercolor="#FF102040" bordersize="1" borderround="8,8"
              text="Install" textcolor="#FFFFFFFF" />
      <Edit name="path" text="/opt/zembra" bordercolor="#FF8090A0" bordersize="1" />
    </HorizontalLayout>
  </VerticalLayout>
</Window>)";

std::uint32_t Channel(std::uint32_t pixel, int shift) { return (pixel >> shift) & 0xFF; }

// Share of 1x pixels whose colour differs by more than tolerance from the
// average of the 2x2 block that stands for it at scale 2.
double DifferingShare(const CPaintSurface& single, const CPaintSurface& doubled, int tolerance) {
    int differing = 0;
    for (int y = 0; y < single.Height(); ++y) {
        for (int x = 0; x < single.Width(); ++x) {
            for (int shift = 0; shift < 32; shift += 8) {
                std::uint32_t sum = 0;
                for (int dy = 0; dy < 2; ++dy) {
                    for (int dx = 0; dx < 2; ++dx) sum += Channel(doubled.PixelAt(2 * x + dx, 2 * y + dy), shift);
                }
                if (std::abs(int(sum / 4) - int(Channel(single.PixelAt(x, y), shift))) > tolerance) {
                    ++differing;
                    break;
                }
            }
        }
    }
    return double(differing) / (single.Width() * single.Height());
}

TEST(DisplayScaleTest, ADoubleScaleLaysOutInSkinUnitsAndPaintsTheSamePictureTwiceAsLarge) {
    CHeadlessWindow single;
    ASSERT_TRUE(single.LoadMarkup(kMarkup)) << single.LastError();
    CHeadlessWindow doubled;
    doubled.Manager().SetScale(2.0);
    ASSERT_TRUE(doubled.LoadMarkup(kMarkup)) << doubled.LastError();
    single.Pump();
    doubled.Pump();

    EXPECT_EQ(doubled.Manager().ClientSize(), (ZembraUI::UISize{240, 120}));
    const CPaintSurface& big = doubled.Manager().Surface();
    ASSERT_EQ(big.Width(), 480);
    ASSERT_EQ(big.Height(), 240);
    EXPECT_EQ(doubled.Find<ZembraUI::CControlUI>("ok")->Pos(), single.Find<ZembraUI::CControlUI>("ok")->Pos());
    // Text and round edges are drawn sharper, so a few pixels differ.
    EXPECT_LT(DifferingShare(single.Manager().Surface(), big, 40), 0.03);

    // A control that changes repaints its own area, at device size.
    doubled.Find<ZembraUI::CControlUI>("ok")->PutBkColor(0xFF00AA00);
    const std::vector<ZembraUI::UIRect> painted = doubled.Pump();
    ASSERT_FALSE(painted.empty());
    const ZembraUI::UIRect ok = doubled.Find<ZembraUI::CControlUI>("ok")->Pos();
    EXPECT_EQ(painted.front(), (ZembraUI::UIRect{2 * ok.left, 2 * ok.top, 2 * ok.right, 2 * ok.bottom}));
    EXPECT_EQ(big.PixelAt(2 * ok.left + 20, 2 * ok.top + 4), 0xFF00AA00u);
}

}  // namespace
