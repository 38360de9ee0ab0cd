#pragma once
// Drawing and image loading for the toolkit's controls.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ZembraUI {

// A decoded picture: 32-bit ARGB pixels, rows top-down, colours premultiplied
// by alpha.
struct LoadedImage {
    std::vector<std::uint32_t> pixels;
    int width = 0;
    int height = 0;
    // Some pixel is not opaque (or was masked out): draw with alpha blending.
    bool hasAlpha = false;
};

class CDrawEngine {
public:
    // Largest picture decoded, in pixels (width x height).
    static constexpr std::uint64_t kMaxImagePixels = 16u * 1024u * 1024u;
    // Largest picture file read from a plain disk path.
    static constexpr std::size_t kMaxDiskImageSize = 32u * 1024u * 1024u;

    // Loads a picture by name: from the skin (archive or resource folder),
    // else from the name itself as a disk path. With a resource type given,
    // only the skin is asked (it holds everything the executable embeds).
    // Pixels equal to mask after premultiplying become fully transparent.
    // Nothing when the picture is missing or cannot be decoded.
    static std::optional<LoadedImage> LoadImage(const std::string& name, const std::string& type = {},
                                                std::uint32_t mask = 0);

    // Decodes PNG, JPEG, BMP, GIF (first frame) or PSD bytes under the same
    // pixel rules.
    static std::optional<LoadedImage> DecodeImage(const unsigned char* data, std::size_t size, std::uint32_t mask);

    // The pixel rule: straight RGBA to premultiplied ARGB (c * a / 255 unless a
    // is 255).
    static std::uint32_t PremultipliedPixel(unsigned char r, unsigned char g, unsigned char b, unsigned char a);
};

}  // namespace ZembraUI
