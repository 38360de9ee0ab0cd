#pragma once
// Drawing and image loading for the toolkit's controls.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <cairo.h>

#include "uitoolkit/Geometry.h"

namespace ZembraUI {

class IImageSource;

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

    // Drawing on a cairo context whose clip is the area being repainted.
    // Colours are AARRGGBB; a colour whose alpha is 0 draws nothing.
    static void DrawColor(cairo_t* cr, const UIRect& rect, std::uint32_t colour);
    // steps bands from `from` to `to`, top to bottom (vertical) or left to right.
    static void DrawGradient(cairo_t* cr, const UIRect& rect, std::uint32_t from, std::uint32_t to, bool vertical,
                             int steps);
    // A line from (rect.left, rect.top) to (rect.right, rect.bottom); style is
    // the pen style (0 solid, 1 dash, 2 dot, 3 dash-dot, 4 dash-dot-dot,
    // 5 none). A horizontal line of width 1 covers pixel row rect.top from
    // rect.left up to rect.right (exclusive); wider pens grow around it.
    // Width 0 or less draws nothing.
    static void DrawLine(cairo_t* cr, const UIRect& rect, int width, std::uint32_t colour, int style = 0);
    // Outlines of the given width lie inside rect.
    static void DrawRect(cairo_t* cr, const UIRect& rect, int width, std::uint32_t colour, int style = 0);
    static void DrawRoundRect(cairo_t* cr, const UIRect& rect, int width, int roundWidth, int roundHeight,
                              std::uint32_t colour, int style = 0);
    // Intersects the clip with the rounded rectangle (corner ellipse roundWidth x roundHeight).
    static void ClipRoundRect(cairo_t* cr, const UIRect& rect, int roundWidth, int roundHeight);
    // Draws an image description string (and its modifier) for a control at
    // `control`, touching only `paint`. False when a picture is missing.
    static bool DrawImageString(cairo_t* cr, IImageSource& images, const UIRect& control, const UIRect& paint,
                                std::string_view image, std::string_view modifier = {});
};

}  // namespace ZembraUI
