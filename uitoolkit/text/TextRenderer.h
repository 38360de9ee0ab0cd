#pragma once
// Measuring and drawing plain and rich text with pango on a cairo context.
// One renderer per manager: it owns the pango context (fixed font options, the
// window's scale) and caches shaped layouts.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <cairo.h>

#include "uitoolkit/Geometry.h"
#include "uitoolkit/render/FontInfo.h"

namespace ZembraUI {

// Where rich text finds the window's fonts: "f n" selects FontAt(n); an index
// outside the list answers the default font.
class IFontSource {
public:
    virtual ~IFontSource() = default;
    virtual const FontInfo& FontAt(int index) const = 0;
    virtual const FontInfo& DefaultFont() const = 0;
};

struct TextColours {
    std::uint32_t text = 0xFF000000;       // AARRGGBB; only RGB is used
    std::uint32_t link = 0xFF0000FF;
    std::uint32_t linkHover = 0xFFD3215F;
    std::uint32_t selected = 0xFFBAE4FF;   // background of rich text inside "s"
};

// A link found while drawing rich text: the rectangles its text covers (one
// per line when it wraps) and the optional text of its "a" tag.
struct RichTextLink {
    std::vector<UIRect> rects;
    std::string text;
};

class CTextRenderer {
public:
    // scale multiplies font sizes (HiDPI); language is a BCP 47 tag such as
    // "ar", "hi", "ja", "zh-cn" that picks fonts and shaping for the text.
    explicit CTextRenderer(double scale = 1.0);
    ~CTextRenderer();
    CTextRenderer(const CTextRenderer&) = delete;
    CTextRenderer& operator=(const CTextRenderer&) = delete;

    void SetLanguage(std::string languageTag);
    const std::string& Language() const;
    double Scale() const;

    // Height of one line of the font (ascent + descent + leading), in pixels.
    int LineHeight(const FontInfo& font) const;

    // Plain text in one font and colour with the TextStyle bits. With
    // kCalcRect nothing is drawn and the size the text needs is returned.
    // layered: draw for a per-pixel-alpha window (colour alpha 0xFE).
    UISize DrawPlainText(cairo_t* cr, const UIRect& rect, std::string_view text, const FontInfo& font,
                         std::uint32_t colour, unsigned style, bool layered = false);

    // Rich text (the tag grammar of labels, texts and buttons with "showhtml").
    // hoverLink is the index of the link under the pointer (-1 none); links,
    // when given, receives at most maxLinks links in order. With kCalcRect
    // nothing is drawn and the size is returned.
    UISize DrawRichText(cairo_t* cr, const UIRect& rect, std::string_view markup, const IFontSource& fonts,
                        const TextColours& colours, unsigned style, int hoverLink = -1,
                        std::vector<RichTextLink>* links = nullptr, std::size_t maxLinks = 8,
                        bool layered = false);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace ZembraUI
