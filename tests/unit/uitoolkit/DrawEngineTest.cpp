#include "uitoolkit/render/DrawEngine.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/TempDir.h"
#include "uitoolkit/markup/SkinArchive.h"
#include "unit/uitoolkit/ZipBuilder.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wall"
#pragma GCC diagnostic ignored "-Wextra"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

namespace {

using ZembraUI::CDrawEngine;
using ZembraUI::CSkinArchive;
using ZembraUI::LoadedImage;

struct Rgba {
    unsigned char r, g, b, a;
};

std::string EncodePng(const std::vector<Rgba>& pixels, int width, int height) {
    std::string png;
    auto append = [](void* context, void* data, int size) {
        static_cast<std::string*>(context)->append(static_cast<const char*>(data), static_cast<std::size_t>(size));
    };
    EXPECT_NE(stbi_write_png_to_func(append, &png, width, height, 4, pixels.data(), width * 4), 0);
    return png;
}

std::optional<LoadedImage> Decode(const std::string& bytes, std::uint32_t mask = 0) {
    return CDrawEngine::DecodeImage(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), mask);
}

// 3 x 2, top row: opaque, half transparent, fully transparent;
// bottom row: opaque magenta, opaque white, almost opaque.
const std::vector<Rgba> kPixels = {
    {10, 20, 30, 255}, {200, 100, 50, 128}, {90, 80, 70, 0},
    {255, 0, 255, 255}, {255, 255, 255, 255}, {255, 128, 1, 254},
};

TEST(DrawEngineTest, PremultipliesTopDown) {
    const auto image = Decode(EncodePng(kPixels, 3, 2));
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->width, 3);
    EXPECT_EQ(image->height, 2);
    ASSERT_EQ(image->pixels.size(), 6u);
    EXPECT_EQ(image->pixels[0], 0xFF0A141Eu);
    EXPECT_EQ(image->pixels[1], 0x80643219u);  // 200*128/255=100, 100*128/255=50, 50*128/255=25
    EXPECT_EQ(image->pixels[2], 0x00000000u);
    EXPECT_EQ(image->pixels[3], 0xFFFF00FFu);
    EXPECT_EQ(image->pixels[4], 0xFFFFFFFFu);
    EXPECT_EQ(image->pixels[5], 0xFEFE7F00u);  // 255*254/255=254, 128*254/255=127, 1*254/255=0
    EXPECT_TRUE(image->hasAlpha);
}

TEST(DrawEngineTest, MaskColourBecomesTransparent) {
    const std::vector<Rgba> opaque = {{255, 0, 255, 255}, {1, 2, 3, 255}, {255, 0, 255, 255}, {255, 0, 254, 255}};
    const std::string png = EncodePng(opaque, 2, 2);

    const auto plain = Decode(png);
    ASSERT_TRUE(plain.has_value());
    EXPECT_FALSE(plain->hasAlpha);

    const auto masked = Decode(png, 0xFFFF00FF);
    ASSERT_TRUE(masked.has_value());
    EXPECT_TRUE(masked->hasAlpha);
    EXPECT_EQ(masked->pixels, (std::vector<std::uint32_t>{0, 0xFF010203u, 0, 0xFFFF00FEu}));

    // The mask is compared with the premultiplied value, alpha included.
    const auto noMatch = Decode(png, 0x00FF00FF);
    ASSERT_TRUE(noMatch.has_value());
    EXPECT_FALSE(noMatch->hasAlpha);
}

TEST(DrawEngineTest, RejectsWhatIsNotAPicture) {
    EXPECT_FALSE(Decode("not a picture at all").has_value());
    EXPECT_FALSE(Decode("").has_value());
    std::string png = EncodePng(kPixels, 3, 2);
    EXPECT_FALSE(Decode(png.substr(0, png.size() / 2)).has_value());
}

TEST(DrawEngineTest, RefusesHugeDimensionsBeforeDecoding) {
    // A BMP header announcing 20000 x 20000 pixels with no pixel data.
    std::string bmp(54, '\0');
    auto put32 = [&](std::size_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i) bmp[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    };
    bmp[0] = 'B';
    bmp[1] = 'M';
    put32(2, 54);
    put32(10, 54);
    put32(14, 40);
    put32(18, 20000);
    put32(22, 20000);
    bmp[26] = 1;
    bmp[28] = 32;
    EXPECT_FALSE(Decode(bmp).has_value());
}

class DrawEngineFileTest : public ::testing::Test {
protected:
    void TearDown() override {
        CSkinArchive::Close();
        CSkinArchive::SetResourceFolder("");
    }
};

TEST_F(DrawEngineFileTest, LoadsFromTheSkinThenFromDisk) {
    const std::string skinPng = EncodePng({{1, 2, 3, 255}}, 1, 1);
    const std::string diskPng = EncodePng({{4, 5, 6, 255}, {7, 8, 9, 255}}, 2, 1);
    const auto zip = testsupport::BuildZip({{"skin/logo.png", skinPng}});
    ASSERT_TRUE(CSkinArchive::OpenFromMemory(zip.data(), zip.size()));
    testsupport::TempDir dir;
    const std::string diskPath = dir.WriteFile("work/banner.png", diskPng);

    const auto fromSkin = CDrawEngine::LoadImage("skin\\LOGO.png");
    ASSERT_TRUE(fromSkin.has_value());
    EXPECT_EQ(fromSkin->pixels, (std::vector<std::uint32_t>{0xFF010203u}));

    const auto fromDisk = CDrawEngine::LoadImage(diskPath);
    ASSERT_TRUE(fromDisk.has_value());
    EXPECT_EQ(fromDisk->width, 2);
    EXPECT_EQ(fromDisk->pixels[1], 0xFF070809u);

    // A typed picture comes from the skin only.
    EXPECT_TRUE(CDrawEngine::LoadImage("skin\\logo.png", "PNG").has_value());
    EXPECT_FALSE(CDrawEngine::LoadImage(diskPath, "PNG").has_value());
    EXPECT_FALSE(CDrawEngine::LoadImage("skin\\missing.png").has_value());

    const auto masked = CDrawEngine::LoadImage("skin\\logo.png", "", 0xFF010203u);
    ASSERT_TRUE(masked.has_value());
    EXPECT_EQ(masked->pixels[0], 0u);
    EXPECT_TRUE(masked->hasAlpha);
}

TEST_F(DrawEngineFileTest, ResourceFolderWithoutArchive) {
    testsupport::TempDir dir;
    dir.WriteFile("skin/bg.png", EncodePng({{9, 9, 9, 9}}, 1, 1));
    CSkinArchive::SetResourceFolder(dir.str());
    const auto image = CDrawEngine::LoadImage("skin\\bg.png");
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->pixels[0], 0x09000000u);  // 9*9/255 = 0
}

}  // namespace
