#include "uitoolkit/text/TextLayout.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <pango/pangocairo.h>

#include "uitoolkit/text/TextStyle.h"

namespace ZembraUI {
namespace {

// Widths beyond this would overflow pango units.
constexpr int kMaxWidthPixels = 1000000;
// U+FFFC stands in for a blank skip; its shape attribute gives it its width.
constexpr char kObjectReplacement[] = "\xEF\xBF\xBC";
// Alpha 0xFE as pango's 16-bit value.
constexpr guint16 kLayeredTextAlpha = 0xFEFE;

guint16 Channel(std::uint32_t colour, int shift) { return static_cast<guint16>(((colour >> shift) & 0xFFu) * 257u); }

void Insert(PangoAttrList* attributes, PangoAttribute* attribute, std::size_t start, std::size_t end) {
    attribute->start_index = static_cast<guint>(start);
    attribute->end_index = static_cast<guint>(end);
    pango_attr_list_insert(attributes, attribute);
}

// Gives the Han characters of text at offset their own face.
void MarkHanCharacters(PangoAttrList* attributes, const std::string& text, std::size_t offset,
                       const std::string& family) {
    std::size_t spanStart = std::string::npos;
    for (const char* c = text.c_str(); *c != '\0'; c = g_utf8_next_char(c)) {
        const auto position = static_cast<std::size_t>(c - text.c_str());
        const bool han = g_unichar_get_script(g_utf8_get_char(c)) == G_UNICODE_SCRIPT_HAN;
        if (han && spanStart == std::string::npos) spanStart = position;
        if (!han && spanStart != std::string::npos) {
            Insert(attributes, pango_attr_family_new(family.c_str()), offset + spanStart, offset + position);
            spanStart = std::string::npos;
        }
    }
    if (spanStart != std::string::npos) {
        Insert(attributes, pango_attr_family_new(family.c_str()), offset + spanStart, offset + text.size());
    }
}

std::size_t ShownRunCount(const std::vector<TextRun>& runs) {
    // Breaks after the last text add empty lines nobody sees: a closing
    // paragraph tag at the end must not make the text taller.
    std::size_t count = runs.size();
    while (count > 0 && runs[count - 1].kind == TextRunKind::LineBreak) --count;
    return count;
}

}  // namespace

CTextLayout::CTextLayout(const CTextContext& context, const std::vector<TextRun>& runs,
                         const TextLayoutOptions& options)
    : options_(options), scale_(context.Scale()) {
    options_.width = std::clamp(options_.width, 0, kMaxWidthPixels);
    const AttrListPtr attributes(pango_attr_list_new());
    const std::size_t shown = ShownRunCount(runs);
    for (std::size_t i = 0; i < shown; ++i) AppendRun(context, runs[i], attributes.get());
    if (text_.empty()) return;

    layout_.reset(pango_layout_new(context.Context()));
    pango_layout_set_text(layout_.get(), text_.data(), static_cast<int>(text_.size()));
    pango_layout_set_attributes(layout_.get(), attributes.get());
    ConfigureWrapping(layout_.get());
    PlaceLines(layout_.get(), 0);
    const unsigned style = options_.style;
    if ((style & TextStyle::kWordBreak) && (style & TextStyle::kEndEllipsis) && !(style & TextStyle::kSingleLine)) {
        EllipsizeOverflow(attributes.get());
    }
    AlignLines();
}

void CTextLayout::AppendRun(const CTextContext& context, const TextRun& run, PangoAttrList* attributes) {
    const std::size_t start = text_.size();
    switch (run.kind) {
    case TextRunKind::Text: text_ += run.text; break;
    case TextRunKind::LineBreak: text_ += '\n'; break;
    case TextRunKind::Skip: text_ += kObjectReplacement; break;
    }
    const std::size_t end = text_.size();
    if (end == start) return;

    const FontDescriptionPtr font = context.Describe(run.font);
    Insert(attributes, pango_attr_font_desc_new(font.get()), start, end);
    if (run.kind == TextRunKind::Text && !context.HanFamily().empty()) {
        MarkHanCharacters(attributes, run.text, start, context.HanFamily());
    }
    Insert(attributes,
           pango_attr_foreground_new(Channel(run.colour, 16), Channel(run.colour, 8), Channel(run.colour, 0)), start,
           end);
    if (options_.layered) Insert(attributes, pango_attr_foreground_alpha_new(kLayeredTextAlpha), start, end);
    if (run.font.underline) Insert(attributes, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE), start, end);
    if ((run.background >> 24) != 0) {
        const std::uint32_t c = run.background;
        Insert(attributes, pango_attr_background_new(Channel(c, 16), Channel(c, 8), Channel(c, 0)), start, end);
        Insert(attributes, pango_attr_background_alpha_new(Channel(c, 24)), start, end);
    }
    if (run.kind == TextRunKind::Skip) {
        const PangoRectangle box{0, 0, static_cast<int>(std::lround(run.skipWidth * context.Scale() * PANGO_SCALE)), 0};
        Insert(attributes, pango_attr_shape_new(&box, &box), start, end);
    }
    spans_.push_back({start, end, run.link, run.spacing, run.minLineHeight});
}

void CTextLayout::ConfigureWrapping(PangoLayout* layout) const {
    const unsigned style = options_.style;
    const bool singleLine = (style & TextStyle::kSingleLine) != 0;
    if (singleLine) pango_layout_set_single_paragraph_mode(layout, TRUE);
    if (!singleLine && (style & TextStyle::kWordBreak)) {
        pango_layout_set_width(layout, options_.width * PANGO_SCALE);
        // Words that are wider than the line are cut between characters.
        pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    } else if (style & TextStyle::kEndEllipsis) {
        // Without word-break every line is ellipsized on its own.
        pango_layout_set_width(layout, options_.width * PANGO_SCALE);
        pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
    }
}

void CTextLayout::PlaceLines(PangoLayout* layout, std::size_t textOffset) {
    const LayoutIterPtr iter(pango_layout_get_iter(layout));
    do {
        PangoLayoutLine* line = pango_layout_iter_get_line_readonly(iter.get());
        PangoRectangle inLayout;
        pango_layout_iter_get_line_extents(iter.get(), nullptr, &inLayout);
        PangoRectangle own;
        pango_layout_line_get_extents(line, nullptr, &own);
        PlaceLine(line, inLayout.x - own.x, textOffset);
    } while (pango_layout_iter_next_line(iter.get()));
}

void CTextLayout::PlaceLine(PangoLayoutLine* line, int layoutOffset, std::size_t textOffset) {
    PangoRectangle logical;
    pango_layout_line_get_extents(line, nullptr, &logical);
    PlacedLine placed;
    placed.line = line;
    placed.textOffset = textOffset;
    placed.start = textOffset + static_cast<std::size_t>(line->start_index);
    placed.end = placed.start + static_cast<std::size_t>(line->length);
    placed.layoutOffset = layoutOffset;
    placed.logicalLeft = logical.x;
    placed.top = lines_.empty() ? 0 : lines_.back().top + lines_.back().height;
    placed.baseline = placed.top + PANGO_PIXELS(-logical.y);
    placed.textHeight = PANGO_PIXELS_CEIL(logical.height);
    placed.width = PANGO_PIXELS_CEIL(logical.width);
    int spacing = 0;
    int minHeight = 0;
    LineRules(placed.start, placed.end, spacing, minHeight);
    const auto scaled = [this](int pixels) { return static_cast<int>(std::lround(pixels * scale_)); };
    placed.height = std::max(placed.textHeight, scaled(minHeight)) + scaled(spacing);
    lines_.push_back(placed);
}

void CTextLayout::LineRules(std::size_t start, std::size_t end, int& spacing, int& minHeight) const {
    // Spans are contiguous and ordered: the first one that ends after start
    // holds the line's first character.
    auto span = std::upper_bound(spans_.begin(), spans_.end(), start,
                                 [](std::size_t offset, const RunSpan& s) { return offset < s.end; });
    if (span == spans_.end()) span = spans_.end() - 1;
    spacing = span->spacing;
    minHeight = 0;
    for (; span != spans_.end() && span->start < std::max(end, start + 1); ++span) {
        minHeight = std::max(minHeight, span->minLineHeight);
    }
}

void CTextLayout::EllipsizeOverflow(PangoAttrList* attributes) {
    std::size_t shown = 0;
    while (shown < lines_.size() && lines_[shown].top + lines_[shown].textHeight <= options_.height) ++shown;
    shown = std::max<std::size_t>(shown, 1);
    if (shown >= lines_.size()) return;

    // The last line shown carries the rest of the text on one line, cut with
    // an ellipsis; hard breaks in the hidden part become blanks.
    const std::size_t start = lines_[shown - 1].start;
    std::string rest = text_.substr(start);
    std::replace(rest.begin(), rest.end(), '\n', ' ');
    const AttrListPtr restAttributes(pango_attr_list_copy(attributes));
    pango_attr_list_update(restAttributes.get(), 0, static_cast<int>(start), 0);

    tail_.reset(pango_layout_new(pango_layout_get_context(layout_.get())));
    pango_layout_set_text(tail_.get(), rest.data(), static_cast<int>(rest.size()));
    pango_layout_set_attributes(tail_.get(), restAttributes.get());
    pango_layout_set_single_paragraph_mode(tail_.get(), TRUE);
    pango_layout_set_width(tail_.get(), options_.width * PANGO_SCALE);
    pango_layout_set_ellipsize(tail_.get(), PANGO_ELLIPSIZE_END);
    lines_.resize(shown - 1);
    PlaceLines(tail_.get(), start);
}

void CTextLayout::AlignLines() {
    const unsigned style = options_.style;
    for (PlacedLine& line : lines_) {
        if (style & TextStyle::kCenter) {
            line.x = (options_.width - line.width) / 2;
        } else if (style & TextStyle::kRight) {
            line.x = options_.width - line.width;
        }
        size_.cx = std::max(size_.cx, line.width);
    }
    size_.cy = lines_.empty() ? 0 : lines_.back().top + lines_.back().height;
}

void CTextLayout::Draw(cairo_t* cr, int x, int y) const {
    for (const PlacedLine& line : lines_) {
        cairo_move_to(cr, x + line.x - static_cast<double>(line.logicalLeft) / PANGO_SCALE, y + line.baseline);
        pango_cairo_show_layout_line(cr, line.line);
    }
}

std::vector<UIRect> CTextLayout::LinkRects(int link) const {
    std::vector<UIRect> rects;
    if (link < 0) return rects;
    for (const PlacedLine& line : lines_) {
        double left = std::numeric_limits<double>::max();
        double right = std::numeric_limits<double>::lowest();
        for (const RunSpan& span : spans_) {
            if (span.link != link || span.end <= line.start || span.start >= line.end) continue;
            const auto from = static_cast<int>(std::max(span.start, line.start) - line.textOffset);
            const auto to = static_cast<int>(std::min(span.end, line.end) - line.textOffset);
            int* ranges = nullptr;
            int count = 0;
            pango_layout_line_get_x_ranges(line.line, from, to, &ranges, &count);
            for (int i = 0; i < 2 * count; ++i) {
                const double x = line.x + static_cast<double>(ranges[i] - line.layoutOffset - line.logicalLeft) / PANGO_SCALE;
                left = std::min(left, x);
                right = std::max(right, x);
            }
            g_free(ranges);
        }
        if (left < right) {
            rects.push_back({static_cast<int>(std::floor(left)), line.top, static_cast<int>(std::ceil(right)),
                             line.top + line.textHeight});
        }
    }
    return rects;
}

int CTextLayout::UnknownGlyphCount() const {
    return layout_ ? pango_layout_get_unknown_glyphs_count(layout_.get()) : 0;
}

}  // namespace ZembraUI
