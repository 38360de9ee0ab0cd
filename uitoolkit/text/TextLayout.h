#pragma once
// Text runs shaped by pango and placed line by line inside a width: hard and
// word-wrapped lines, each as high as its tallest font plus its paragraph
// spacing, aligned left, centred or right, with end-ellipsis. Immutable once
// built, so the renderer caches and redraws it.
#include <cstddef>
#include <string>
#include <vector>

#include <cairo.h>
#include <pango/pango.h>

#include "uitoolkit/Geometry.h"
#include "uitoolkit/text/PangoHandles.h"
#include "uitoolkit/text/TextContext.h"
#include "uitoolkit/text/TextRun.h"

namespace ZembraUI {

struct TextLayoutOptions {
    int width = 0;         // of the text rectangle, pixels
    int height = 0;        // of the text rectangle; bounds word-wrapped text with end-ellipsis
    unsigned style = 0;    // TextStyle bits
    bool layered = false;  // colours drawn with alpha 0xFE for a per-pixel-alpha window
};

class CTextLayout {
public:
    CTextLayout(const CTextContext& context, const std::vector<TextRun>& runs, const TextLayoutOptions& options);

    // Width of the widest line and height of all lines, in pixels.
    UISize Size() const { return size_; }
    std::size_t LineCount() const { return lines_.size(); }
    // Draws with the block's top-left corner at (x, y).
    void Draw(cairo_t* cr, int x, int y) const;
    // Where the link's text lies, one rectangle per line it is on, relative
    // to the block's top-left corner.
    std::vector<UIRect> LinkRects(int link) const;
    // Characters no installed font could draw, over every line shown.
    int UnknownGlyphCount() const;
    // The layout of the whole text (before any ellipsis), for inspection.
    PangoLayout* Layout() const { return layout_.get(); }

private:
    struct RunSpan {
        std::size_t start = 0;  // byte range in text_
        std::size_t end = 0;
        int link = -1;
        int spacing = 0;
        int minLineHeight = 0;
    };
    struct PlacedLine {
        PangoLayoutLine* line = nullptr;
        std::size_t textOffset = 0;  // where the line's layout text starts in text_
        std::size_t start = 0;       // byte range of the line in text_
        std::size_t end = 0;
        int layoutOffset = 0;  // pango units its layout shifts it by (alignment, direction)
        int logicalLeft = 0;   // pango units from the line's origin to its logical left edge
        int x = 0;             // pixels from the block's left to the logical left edge
        int top = 0;
        int baseline = 0;
        int textHeight = 0;
        int height = 0;  // including paragraph spacing
        int width = 0;
    };

    void AppendRun(const CTextContext& context, const TextRun& run, PangoAttrList* attributes);
    void ConfigureWrapping(PangoLayout* layout) const;
    void PlaceLines(PangoLayout* layout, std::size_t textOffset);
    void PlaceLine(PangoLayoutLine* line, int layoutOffset, std::size_t textOffset);
    void EllipsizeOverflow(PangoAttrList* attributes);
    void AlignLines();
    // The spacing and least height of the line covering [start, end).
    void LineRules(std::size_t start, std::size_t end, int& spacing, int& minHeight) const;

    TextLayoutOptions options_;
    double scale_;  // of the context: pixel values of the markup grow with it
    std::string text_;
    std::vector<RunSpan> spans_;
    GObjectPtr<PangoLayout> layout_;
    GObjectPtr<PangoLayout> tail_;  // the last line shown, ellipsized
    std::vector<PlacedLine> lines_;
    UISize size_;
};

}  // namespace ZembraUI
