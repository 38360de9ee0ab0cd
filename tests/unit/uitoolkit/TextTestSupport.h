#pragma once
// What the text tests share: a window's font list and a small cairo canvas
// whose pixels can be inspected.
#include <cstdint>
#include <vector>

#include <cairo.h>

#include "uitoolkit/Geometry.h"
#include "uitoolkit/text/TextRenderer.h"

namespace TextTests {

// Font 0: 12 px, font 1: 20 px bold, font 2: 16 px italic; default 12 px.
class TestFonts : public ZembraUI::IFontSource {
public:
    const ZembraUI::FontInfo& FontAt(int index) const override;
    const ZembraUI::FontInfo& DefaultFont() const override { return defaultFont; }

    std::vector<ZembraUI::FontInfo> fonts{{"", 12}, {"", 20, true}, {"", 16, false, false, true}};
    ZembraUI::FontInfo defaultFont{"", 12};
};

// A premultiplied ARGB32 surface filled with one colour.
class Canvas {
public:
    Canvas(int width, int height, std::uint32_t fill = 0xFFFFFFFF);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    cairo_t* Context() const { return cr_; }
    std::uint32_t PixelAt(int x, int y) const;
    std::vector<std::uint32_t> Pixels() const;
    // Bounding box of the pixels that differ from the fill; empty when none.
    ZembraUI::UIRect InkBox() const;
    // Bounding box of the pixels whose colour passes the test.
    template <typename Test>
    ZembraUI::UIRect BoxOf(Test test) const;

private:
    cairo_surface_t* surface_;
    cairo_t* cr_;
    std::uint32_t fill_;
};

template <typename Test>
ZembraUI::UIRect Canvas::BoxOf(Test test) const {
    const int width = cairo_image_surface_get_width(surface_);
    const int height = cairo_image_surface_get_height(surface_);
    ZembraUI::UIRect box{width, height, 0, 0};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (!test(PixelAt(x, y))) continue;
            box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x + 1), std::max(box.bottom, y + 1)};
        }
    }
    return box.IsEmpty() ? ZembraUI::UIRect{} : box;
}

inline int Red(std::uint32_t pixel) { return static_cast<int>((pixel >> 16) & 0xFF); }
inline int Green(std::uint32_t pixel) { return static_cast<int>((pixel >> 8) & 0xFF); }
inline int Blue(std::uint32_t pixel) { return static_cast<int>(pixel & 0xFF); }
inline int Alpha(std::uint32_t pixel) { return static_cast<int>(pixel >> 24); }

}  // namespace TextTests
