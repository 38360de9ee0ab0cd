#pragma once
// Pictures the content service hands out, made in memory: banner pictures,
// a valid picture far too large to decode, and a picture that is broken.
#include <cstdint>
#include <functional>
#include <string>

namespace devserver {

// A PNG of width x height with the given bit depth and colour type (0 grey,
// 2 RGB); fillRow writes row y's pixel bytes (without the filter byte).
std::string EncodePng(std::uint32_t width, std::uint32_t height, int bitDepth, int colourType,
                      const std::function<void(std::uint32_t y, std::string& row)>& fillRow);

// A 650 x 300 banner whose colours follow n, so two banners differ.
std::string BannerPicture(int n);
// A valid 30000 x 30000 black-and-white PNG (about 110 KB): too many pixels to decode.
const std::string& GiantPicture();
// A PNG signature followed by bytes that are no picture.
std::string BrokenPicture();

}  // namespace devserver
