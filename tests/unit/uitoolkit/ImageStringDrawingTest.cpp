#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "uitoolkit/render/DrawEngine.h"
#include "uitoolkit/render/ImageSource.h"
#include "uitoolkit/render/PaintSurface.h"
#include "unit/uitoolkit/SurfaceProbe.h"

namespace {

using ZembraUI::CDrawEngine;
using ZembraUI::CPaintSurface;
using ZembraUI::LoadedImage;
using ZembraUI::UIRect;
using testsupport::ChangedArea;
using testsupport::NearColour;

constexpr std::uint32_t kWhite = 0xFFFFFFFF;
constexpr std::uint32_t kRed = 0xFFFF0000;
constexpr std::uint32_t kGreen = 0xFF00FF00;
constexpr std::uint32_t kBlue = 0xFF0000FF;

LoadedImage Picture(int width, int height, std::vector<std::uint32_t> pixels, bool hasAlpha = false) {
    return LoadedImage{std::move(pixels), width, height, hasAlpha};
}

LoadedImage Solid(int width, int height, std::uint32_t colour) {
    return Picture(width, height, std::vector<std::uint32_t>(std::size_t(width * height), colour));
}

// 6 x 6: 2-pixel red corners, green edges, a blue centre.
LoadedImage NineGridPicture() {
    std::vector<std::uint32_t> pixels;
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 6; ++x) {
            const bool edgeX = x < 2 || x >= 4;
            const bool edgeY = y < 2 || y >= 4;
            pixels.push_back(edgeX && edgeY ? kRed : edgeX || edgeY ? kGreen : kBlue);
        }
    }
    return Picture(6, 6, pixels);
}

class MapImageSource : public ZembraUI::IImageSource {
public:
    const LoadedImage* ImageByName(const std::string& name, const std::string& resType,
                                   std::uint32_t mask) override {
        lastResType = resType;
        lastMask = mask;
        const auto found = pictures.find(name);
        return found == pictures.end() ? nullptr : &found->second;
    }

    std::map<std::string, LoadedImage> pictures;
    std::string lastResType;
    std::uint32_t lastMask = 0;
};

class ImageStringDrawingTest : public ::testing::Test {
protected:
    void SetUp() override {
        testsupport::FillSurface(surface_, 120, 60, kWhite);
        images_.pictures["red"] = Solid(4, 4, kRed);
        images_.pictures["strip"] = Picture(4, 1, {kRed, kGreen, kBlue, kWhite});
        images_.pictures["grid"] = NineGridPicture();
    }

    bool Draw(const UIRect& control, std::string_view image, std::string_view modifier = {},
              const UIRect& paint = {0, 0, 120, 60}) {
        cairo_t* cr = surface_.BeginPaint(paint);
        const bool drawn = CDrawEngine::DrawImageString(cr, images_, control, paint, image, modifier);
        cairo_destroy(cr);
        return drawn;
    }

    CPaintSurface surface_;
    MapImageSource images_;
};

TEST_F(ImageStringDrawingTest, DestIsRelativeToTheControlAndClippedToIt) {
    const UIRect control{10, 10, 110, 30};  // 100 x 20
    EXPECT_TRUE(Draw(control, "file='red' dest='0,0,500,500'"));
    EXPECT_EQ(ChangedArea(surface_, kWhite), control);

    testsupport::FillSurface(surface_, 120, 60, kWhite);
    EXPECT_TRUE(Draw(control, "file='red' dest='-5,5,15,15'"));
    EXPECT_EQ(ChangedArea(surface_, kWhite), (UIRect{10, 15, 25, 25}));

    // Only the repainted area is touched.
    testsupport::FillSurface(surface_, 120, 60, kWhite);
    EXPECT_TRUE(Draw(control, "red", {}, {0, 0, 30, 60}));
    EXPECT_EQ(ChangedArea(surface_, kWhite), (UIRect{10, 10, 30, 30}));
}

TEST_F(ImageStringDrawingTest, SourceCropDrawsPixelForPixelAndTheModifierWins) {
    // A progress bar's fore image: dest and source of the same size crop it.
    EXPECT_TRUE(Draw({0, 0, 40, 10}, "file='strip' dest='0,0,40,10' source='0,0,4,1'",
                     "dest='0,0,2,1' source='1,0,3,1'"));
    EXPECT_EQ(ChangedArea(surface_, kWhite), (UIRect{0, 0, 2, 1}));
    EXPECT_EQ(surface_.PixelAt(0, 0), kGreen);
    EXPECT_EQ(surface_.PixelAt(1, 0), kBlue);

    // A source past the picture's edge is cut to the picture.
    testsupport::FillSurface(surface_, 120, 60, kWhite);
    EXPECT_TRUE(Draw({0, 0, 40, 10}, "file='strip' dest='0,0,1,1' source='3,0,9,9'"));
    EXPECT_TRUE(ChangedArea(surface_, kWhite).IsEmpty());  // the one pixel left is white
    EXPECT_TRUE(Draw({0, 0, 40, 10}, "file='strip' dest='0,0,1,1' source='2,0,3,1'"));
    EXPECT_EQ(surface_.PixelAt(0, 0), kBlue);
}

TEST_F(ImageStringDrawingTest, NineGridKeepsCornersAndCanLeaveAHole) {
    EXPECT_TRUE(Draw({0, 0, 20, 30}, "file='grid' corner='2,2,2,2'"));
    for (const auto& [x, y] : {std::pair{0, 0}, {1, 1}, {18, 0}, {19, 29}, {0, 28}}) {
        EXPECT_EQ(surface_.PixelAt(x, y), kRed) << x << "," << y;
    }
    EXPECT_EQ(surface_.PixelAt(2, 0), kGreen);
    EXPECT_EQ(surface_.PixelAt(0, 15), kGreen);
    EXPECT_EQ(surface_.PixelAt(17, 28), kGreen);
    EXPECT_EQ(surface_.PixelAt(10, 15), kBlue);
    EXPECT_EQ(surface_.PixelAt(2, 2), kBlue);

    testsupport::FillSurface(surface_, 120, 60, kWhite);
    EXPECT_TRUE(Draw({0, 0, 20, 30}, "file='grid' corner='2,2,2,2' hole='true'"));
    EXPECT_EQ(surface_.PixelAt(10, 15), kWhite);
    EXPECT_EQ(surface_.PixelAt(19, 29), kRed);
    EXPECT_EQ(surface_.PixelAt(10, 29), kGreen);
}

TEST_F(ImageStringDrawingTest, TilingRepeatsAtFullSize) {
    EXPECT_TRUE(Draw({0, 0, 9, 3}, "file='strip' source='0,0,2,1' xtiled='true'"));
    for (int x = 0; x < 9; ++x) {
        EXPECT_EQ(surface_.PixelAt(x, 2), x % 2 == 0 ? kRed : kGreen) << x;
    }
    // Down the other axis the tile is stretched.
    EXPECT_EQ(surface_.PixelAt(3, 0), kGreen);

    // Tiles start at the top of the destination, also when painting starts below it.
    testsupport::FillSurface(surface_, 120, 60, kWhite);
    images_.pictures["column"] = Picture(1, 2, {kRed, kBlue});
    EXPECT_TRUE(Draw({0, 10, 3, 19}, "file='column' ytiled='true'", {}, {0, 13, 120, 60}));
    EXPECT_EQ(ChangedArea(surface_, kWhite), (UIRect{0, 13, 3, 19}));
    for (int y = 13; y < 19; ++y) {
        EXPECT_EQ(surface_.PixelAt(1, y), y % 2 == 0 ? kRed : kBlue) << y;
    }
}

TEST_F(ImageStringDrawingTest, FadeAndPictureAlphaBlend) {
    EXPECT_TRUE(Draw({0, 0, 10, 10}, "file='red' fade='128'"));
    EXPECT_TRUE(NearColour(surface_.PixelAt(5, 5), 0xFFFF7F7F));

    images_.pictures["glass"] = Picture(1, 1, {0x80800000}, true);  // premultiplied half red
    EXPECT_TRUE(Draw({20, 0, 30, 10}, "glass"));
    EXPECT_TRUE(NearColour(surface_.PixelAt(25, 5), 0xFFFF7F7F));
}

TEST_F(ImageStringDrawingTest, SeveralPicturesInOneStringAndMissingOnes) {
    images_.pictures["green"] = Solid(1, 1, kGreen);
    EXPECT_TRUE(Draw({0, 0, 20, 10}, "file='red' dest='0,0,10,10' file='green' dest='10,0,20,10'"));
    EXPECT_EQ(surface_.PixelAt(5, 5), kRed);
    EXPECT_EQ(surface_.PixelAt(15, 5), kGreen);

    // A missing picture is reported while the others are still drawn; its
    // resource type and mask are asked for as written.
    EXPECT_FALSE(Draw({30, 0, 40, 10}, "file='absent' restype='PNG' mask='#FFFF00FF' file='green'"));
    EXPECT_EQ(surface_.PixelAt(35, 5), kGreen);
    EXPECT_EQ(images_.lastResType, "");
    EXPECT_FALSE(Draw({30, 0, 40, 10}, "file='absent' restype='PNG' mask='#FFFF00FF'"));
    EXPECT_EQ(images_.lastResType, "PNG");
    EXPECT_EQ(images_.lastMask, 0xFFFF00FFu);
    EXPECT_TRUE(Draw({30, 0, 40, 10}, ""));
}

}  // namespace
