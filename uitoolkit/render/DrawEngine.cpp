#include "uitoolkit/render/DrawEngine.h"

#include <climits>
#include <memory>

#include <easylogging++.h>
// Pictures are always decoded from memory (see StbImageDecoder.cpp).
#define STBI_NO_STDIO
#include <stb/stb_image.h>

#include "uitoolkit/markup/SkinArchive.h"

namespace ZembraUI {
namespace {

struct StbFree {
    void operator()(unsigned char* pixels) const { stbi_image_free(pixels); }
};

std::string WithForwardSlashes(std::string text) {
    for (char& c : text) {
        if (c == '\\') c = '/';
    }
    return text;
}

unsigned int Scale(unsigned char channel, unsigned char alpha) { return channel * alpha / 255u; }

}  // namespace

std::uint32_t CDrawEngine::PremultipliedPixel(unsigned char r, unsigned char g, unsigned char b, unsigned char a) {
    if (a != 255) {
        r = static_cast<unsigned char>(Scale(r, a));
        g = static_cast<unsigned char>(Scale(g, a));
        b = static_cast<unsigned char>(Scale(b, a));
    }
    return (std::uint32_t{a} << 24) | (std::uint32_t{r} << 16) | (std::uint32_t{g} << 8) | b;
}

std::optional<LoadedImage> CDrawEngine::LoadImage(const std::string& name, const std::string& type,
                                                  std::uint32_t mask) {
    std::vector<unsigned char> bytes;
    std::string error;
    bool found = CSkinArchive::ReadFile(name, bytes, error);
    if (!found && type.empty()) {
        found = CSkinArchive::ReadDiskFile(WithForwardSlashes(name), bytes, error, kMaxDiskImageSize);
    }
    if (!found) {
        LOG(INFO) << " Image " << name << " not found: " << error;
        return std::nullopt;
    }
    auto image = DecodeImage(bytes.data(), bytes.size(), mask);
    if (!image) LOG(INFO) << " Image " << name << " cannot be decoded";
    return image;
}

std::optional<LoadedImage> CDrawEngine::DecodeImage(const unsigned char* data, std::size_t size,
                                                    std::uint32_t mask) {
    if (data == nullptr || size == 0 || size > static_cast<std::size_t>(INT_MAX)) return std::nullopt;
    const int length = static_cast<int>(size);
    int width = 0;
    int height = 0;
    int channels = 0;
    // Check the size first so that a tiny file cannot ask for gigabytes.
    if (stbi_info_from_memory(data, length, &width, &height, &channels) == 0) return std::nullopt;
    if (width <= 0 || height <= 0 || std::uint64_t(width) * std::uint64_t(height) > kMaxImagePixels) {
        return std::nullopt;
    }
    std::unique_ptr<unsigned char, StbFree> rgba(stbi_load_from_memory(data, length, &width, &height, &channels, 4));
    if (!rgba || width <= 0 || height <= 0 || std::uint64_t(width) * std::uint64_t(height) > kMaxImagePixels) {
        return std::nullopt;
    }

    LoadedImage image;
    image.width = width;
    image.height = height;
    const std::size_t count = std::size_t(width) * std::size_t(height);
    image.pixels.resize(count);
    const unsigned char* source = rgba.get();
    for (std::size_t i = 0; i < count; ++i, source += 4) {
        std::uint32_t pixel = PremultipliedPixel(source[0], source[1], source[2], source[3]);
        if (source[3] != 255) image.hasAlpha = true;
        if (pixel == mask) {
            pixel = 0;
            image.hasAlpha = true;
        }
        image.pixels[i] = pixel;
    }
    return image;
}

}  // namespace ZembraUI
