#include "unit/uitoolkit/TextTestSupport.h"

#include <cstdlib>
#include <cstring>

namespace TextTests {
namespace {

// Runs before main, so every test of this binary shapes text with the pinned
// font configuration (only the Noto fonts, fixed fallbacks and rendering),
// whatever order the tests run in.
const bool kFontsPinned = [] { return setenv("FONTCONFIG_FILE", ZEMBRA_PINNED_FONTS_CONF, 1) == 0; }();

}  // namespace

const ZembraUI::FontInfo& TestFonts::FontAt(int index) const {
    if (index < 0 || index >= static_cast<int>(fonts.size())) return defaultFont;
    return fonts[static_cast<std::size_t>(index)];
}

Canvas::Canvas(int width, int height, std::uint32_t fill)
    : surface_(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height)), cr_(cairo_create(surface_)),
      fill_(fill) {
    (void)kFontsPinned;
    cairo_save(cr_);
    cairo_set_operator(cr_, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_rgba(cr_, Red(fill) / 255.0, Green(fill) / 255.0, Blue(fill) / 255.0, Alpha(fill) / 255.0);
    cairo_paint(cr_);
    cairo_restore(cr_);
}

Canvas::~Canvas() {
    cairo_destroy(cr_);
    cairo_surface_destroy(surface_);
}

std::uint32_t Canvas::PixelAt(int x, int y) const {
    cairo_surface_flush(surface_);
    const unsigned char* row = cairo_image_surface_get_data(surface_) + y * cairo_image_surface_get_stride(surface_);
    std::uint32_t pixel = 0;
    std::memcpy(&pixel, row + 4 * x, sizeof(pixel));
    return pixel;
}

std::vector<std::uint32_t> Canvas::Pixels() const {
    std::vector<std::uint32_t> pixels;
    for (int y = 0; y < cairo_image_surface_get_height(surface_); ++y) {
        for (int x = 0; x < cairo_image_surface_get_width(surface_); ++x) pixels.push_back(PixelAt(x, y));
    }
    return pixels;
}

ZembraUI::UIRect Canvas::InkBox() const {
    return BoxOf([this](std::uint32_t pixel) { return pixel != fill_; });
}

}  // namespace TextTests
