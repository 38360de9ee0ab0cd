// Painting through the manager: fills, dirty rectangles, the layered rule
// and the test skin's layout against its golden picture.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/TempDir.h"
#include "uitoolkit/controls/ProgressUI.h"
#include "uitoolkit/markup/SkinArchive.h"
#include "uitoolkit/render/DrawEngine.h"
#include "unit/uitoolkit/UiTestSupport.h"

namespace {

using UiTests::TestWindow;
using ZembraUI::UIRect;

std::uint32_t Pixel(TestWindow& t, int x, int y) { return t.window.Manager().Surface().PixelAt(x, y); }

TEST(HeadlessPaintTest, ColoursWithoutAlphaPaintNothing) {
    TestWindow t(R"(<Window><HorizontalLayout bkcolor="#FFFFFFFF">
        <Control width="50" bkcolor="#333333" /><Control width="50" bkcolor="#FF333333" />
        <Control width="50" bordercolor="#FF0000FF" bordersize="2" /><Control />
    </HorizontalLayout></Window>)");
    EXPECT_EQ(Pixel(t, 25, 50), 0xFFFFFFFFu);
    EXPECT_EQ(Pixel(t, 75, 50), 0xFF333333u);
    EXPECT_EQ(Pixel(t, 100, 50), 0xFF0000FFu);
    EXPECT_EQ(Pixel(t, 125, 50), 0xFFFFFFFFu);
}

TEST(HeadlessPaintTest, AProgressStepRepaintsOnlyTheBar) {
    TestWindow t(R"(<Window><VerticalLayout bkcolor="#FFFFFFFF">
        <Label text="above" height="40" />
        <Progress name="bar" height="10" bkcolor="#FFDDDDDD" />
        <Control />
    </VerticalLayout></Window>)");
    auto* bar = static_cast<ZembraUI::CProgressUI*>(t["bar"]);
    EXPECT_TRUE(t.window.Pump().empty());
    bar->PutValue(30);
    EXPECT_EQ(t.window.Pump(), (std::vector<UIRect>{{0, 40, 200, 50}}));
    bar->PutValue(30);
    EXPECT_TRUE(t.window.Pump().empty());
}

TEST(HeadlessPaintTest, LayeredWindowsKeepUntouchedPixelsTransparent) {
    TestWindow t(R"(<Window bktrans="true"><HorizontalLayout>
        <Control width="50" bkcolor="#FFFF0000" /><Control width="50" bkcolor="#00FF0000" /><Control />
    </HorizontalLayout></Window>)");
    EXPECT_TRUE(t.window.Manager().IsLayered());
    EXPECT_EQ(Pixel(t, 25, 50), 0xFFFF0000u);
    EXPECT_EQ(Pixel(t, 75, 50), 0u);
    EXPECT_EQ(Pixel(t, 150, 50), 0u);
}

// The test skin's layout of every control, against the picture checked in
// beside it. ZEMBRA_UPDATE_GOLDEN=1 writes the picture instead.
TEST(HeadlessPaintTest, EveryControlLayoutMatchesItsGoldenPicture) {
    const std::filesystem::path layouts =
        std::filesystem::path(std::getenv("ZEMBRA_SOURCE_DIR") ? std::getenv("ZEMBRA_SOURCE_DIR") : "..") /
        "tests/fixtures/layouts";
    ZembraUI::CSkinArchive::Close();
    ZembraUI::CSkinArchive::SetResourceFolder(layouts.string());
    ZembraUI::CHeadlessWindow window;
    ASSERT_TRUE(window.Load("controls.xml")) << window.LastError();
    window.Pump();
    ZembraUI::CSkinArchive::SetResourceFolder("");

    const std::string golden = (layouts / "golden/controls.png").string();
    if (std::getenv("ZEMBRA_UPDATE_GOLDEN") != nullptr) {
        ASSERT_TRUE(window.WritePng(golden));
        GTEST_SKIP() << "wrote " << golden;
    }
    const std::string bytes = testsupport::ReadFile(golden);
    const auto expected = ZembraUI::CDrawEngine::DecodeImage(reinterpret_cast<const unsigned char*>(bytes.data()),
                                                            bytes.size(), 0);
    ASSERT_TRUE(expected.has_value()) << golden;
    const ZembraUI::CPaintSurface& surface = window.Manager().Surface();
    ASSERT_EQ(expected->width, surface.Width());
    ASSERT_EQ(expected->height, surface.Height());
    // Anti-aliasing may differ between library versions: allow small
    // channel differences and a few differing pixels.
    int differing = 0;
    for (int y = 0; y < surface.Height(); ++y) {
        for (int x = 0; x < surface.Width(); ++x) {
            const std::uint32_t a = surface.PixelAt(x, y);
            const std::uint32_t b = expected->pixels[static_cast<std::size_t>(y * surface.Width() + x)];
            for (int shift = 0; shift < 32; shift += 8) {
                const int delta = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
                if (delta > 40 || delta < -40) {
                    ++differing;
                    break;
                }
            }
        }
    }
    EXPECT_LT(differing, surface.Width() * surface.Height() / 200) << "pixels differing from " << golden;
}

}  // namespace
