#include "uitoolkit/render/ImageDescription.h"

#include <gtest/gtest.h>

namespace {

using ZembraUI::ImageDescription;
using ZembraUI::ParseImageDescription;
using ZembraUI::UIRect;

const UIRect kControl{10, 20, 110, 40};  // 100 x 20

TEST(ImageDescriptionTest, BareNameTakesEveryDefault) {
    const auto images = ParseImageDescription("skin\\bg_setting.png", "", kControl);
    ASSERT_EQ(images.size(), 1u);
    const ImageDescription& image = images[0];
    EXPECT_EQ(image.file, "skin\\bg_setting.png");
    EXPECT_EQ(image.dest, kControl);
    EXPECT_FALSE(image.source.has_value());
    EXPECT_EQ(image.corner, UIRect{});
    EXPECT_EQ(image.mask, 0u);
    EXPECT_EQ(image.fade, 255);
    EXPECT_FALSE(image.hole || image.xTiled || image.yTiled);
    EXPECT_TRUE(ParseImageDescription("", "", kControl).empty());
}

TEST(ImageDescriptionTest, ReadsEveryKey) {
    const auto images = ParseImageDescription(
        "file='skin\\btn.png' restype='PNG' dest='2,3,50,15' source='0,0,40,12' corner='4,4,4,4' "
        "mask='#FFFF00FF' fade='128' hole='true' xtiled='true' ytiled='false' unknown='1'",
        "", kControl);
    ASSERT_EQ(images.size(), 1u);
    const ImageDescription& image = images[0];
    EXPECT_EQ(image.file, "skin\\btn.png");
    EXPECT_EQ(image.resType, "PNG");
    EXPECT_EQ(image.dest, (UIRect{12, 23, 60, 35}));
    EXPECT_EQ(image.source, (UIRect{0, 0, 40, 12}));
    EXPECT_EQ(image.corner, (UIRect{4, 4, 4, 4}));
    EXPECT_EQ(image.mask, 0xFFFF00FFu);
    EXPECT_EQ(image.fade, 128);
    EXPECT_TRUE(image.hole);
    EXPECT_TRUE(image.xTiled);
    EXPECT_FALSE(image.yTiled);
}

TEST(ImageDescriptionTest, DestinationIsClippedToTheControl) {
    const auto images = ParseImageDescription("file='a.png' dest='0,0,500,500'", "", kControl);
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].dest, kControl);
    EXPECT_EQ(images[0].dest.Width(), 100);
    EXPECT_EQ(images[0].dest.Height(), 20);
}

TEST(ImageDescriptionTest, ModifierOverridesTheAttribute) {
    const auto images = ParseImageDescription("file='a.png' dest='0,0,10,10' fade='100'", "dest='5,5,20,15'", kControl);
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].file, "a.png");
    EXPECT_EQ(images[0].dest, (UIRect{15, 25, 30, 35}));
    EXPECT_EQ(images[0].fade, 100);

    const auto bare = ParseImageDescription("skin\\check.png", "dest='0,0,16,16'", kControl);
    ASSERT_EQ(bare.size(), 1u);
    EXPECT_EQ(bare[0].file, "skin\\check.png");
    EXPECT_EQ(bare[0].dest, (UIRect{10, 20, 26, 36}));
}

TEST(ImageDescriptionTest, SecondFileStartsANewImage) {
    const auto images = ParseImageDescription(
        "file='back.png' dest='0,0,50,20' fade='90' file='front.png' corner='1,1,1,1'", "source='0,0,8,8'",
        kControl);
    ASSERT_EQ(images.size(), 2u);
    EXPECT_EQ(images[0].file, "back.png");
    EXPECT_EQ(images[0].dest, (UIRect{10, 20, 60, 40}));
    EXPECT_EQ(images[0].fade, 90);
    EXPECT_FALSE(images[0].source.has_value());
    EXPECT_EQ(images[1].file, "front.png");
    EXPECT_EQ(images[1].dest, kControl);  // the new image starts from the defaults
    EXPECT_EQ(images[1].fade, 255);
    EXPECT_EQ(images[1].corner, (UIRect{1, 1, 1, 1}));
    EXPECT_EQ(images[1].source, (UIRect{0, 0, 8, 8}));
}

TEST(ImageDescriptionTest, BrokenAndOddInput) {
    // Reading stops at a pair without quotes; what came before is kept.
    const auto images = ParseImageDescription("file='a.png' fade=80 hole='true'", "", kControl);
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].fade, 255);
    EXPECT_FALSE(images[0].hole);
    EXPECT_TRUE(ParseImageDescription("file='never closed", "", kControl).empty());
    EXPECT_TRUE(ParseImageDescription("dest='0,0,1,1'", "", kControl).empty());  // no picture
    EXPECT_EQ(ParseImageDescription("file='a.png' fade='999'", "", kControl)[0].fade, 255);
    EXPECT_EQ(ParseImageDescription("file='a.png' fade='-5'", "", kControl)[0].fade, 0);
    EXPECT_EQ(ParseImageDescription("res='logo' restype='PNG'", "", kControl)[0].file, "logo");
}

}  // namespace
