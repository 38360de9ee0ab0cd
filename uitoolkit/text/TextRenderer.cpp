#include "uitoolkit/text/TextRenderer.h"

#include <algorithm>

#include "uitoolkit/text/RichTextParser.h"
#include "uitoolkit/text/TextContext.h"
#include "uitoolkit/text/TextLayout.h"
#include "uitoolkit/text/TextLayoutCache.h"
#include "uitoolkit/text/TextStyle.h"
#include "uitoolkit/text/Utf8Text.h"

namespace ZembraUI {
namespace {

// Enough for every text of a few windows; a long licence layout is a few
// hundred kilobytes.
constexpr std::size_t kLayoutCacheCapacity = 128;

TextLayoutOptions OptionsFor(const UIRect& rect, unsigned style, bool layered) {
    return {rect.Width(), rect.Height(), style & ~TextStyle::kCalcRect, layered};
}

// Top-left corner of the text block: vertical centre and bottom move it
// inside the rectangle (integer halves, as the layout's lines are placed).
UIPoint BlockOrigin(const UIRect& rect, unsigned style, const UISize& size) {
    UIPoint origin{rect.left, rect.top};
    if (style & TextStyle::kVCenter) {
        origin.y += (rect.Height() - size.cy) / 2;
    } else if (style & TextStyle::kBottom) {
        origin.y += rect.Height() - size.cy;
    }
    return origin;
}

void DrawLayout(cairo_t* cr, const CTextLayout& layout, const UIRect& rect, unsigned style, UIPoint origin) {
    cairo_save(cr);
    // The path is not part of the saved state: start and leave it empty so
    // neither the caller's path nor ours leaks into the other's drawing.
    cairo_new_path(cr);
    if (!(style & TextStyle::kNoClip)) {
        cairo_rectangle(cr, rect.left, rect.top, rect.Width(), rect.Height());
        cairo_clip(cr);
    }
    layout.Draw(cr, origin.x, origin.y);
    cairo_new_path(cr);
    cairo_restore(cr);
}

UIRect Intersection(const UIRect& a, const UIRect& b) {
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
}

}  // namespace

struct CTextRenderer::Impl {
    explicit Impl(double scale) : context(scale), cache(kLayoutCacheCapacity) {}

    std::shared_ptr<const CTextLayout> Layout(const std::vector<TextRun>& runs, const TextLayoutOptions& options) {
        std::string key = CTextLayoutCache::KeyOf(runs, options);
        if (auto cached = cache.Find(key)) return cached;
        auto layout = std::make_shared<const CTextLayout>(context, runs, options);
        cache.Insert(std::move(key), layout);
        return layout;
    }

    CTextContext context;
    CTextLayoutCache cache;
};

CTextRenderer::CTextRenderer(double scale) : impl_(std::make_unique<Impl>(scale)) {}

CTextRenderer::~CTextRenderer() = default;

void CTextRenderer::SetLanguage(std::string languageTag) {
    if (languageTag == impl_->context.Language()) return;
    impl_->context.SetLanguage(std::move(languageTag));
    impl_->cache.Clear();
}

const std::string& CTextRenderer::Language() const { return impl_->context.Language(); }

double CTextRenderer::Scale() const { return impl_->context.Scale(); }

int CTextRenderer::LineHeight(const FontInfo& font) const { return impl_->context.LineHeight(font); }

UISize CTextRenderer::DrawPlainText(cairo_t* cr, const UIRect& rect, std::string_view text, const FontInfo& font,
                                    std::uint32_t colour, unsigned style, bool layered) {
    TextRun textStyle;
    textStyle.font = font;
    textStyle.colour = colour & 0xFFFFFFu;
    std::vector<TextRun> runs;
    AppendStyledText(runs, ValidUtf8(text), textStyle, (style & TextStyle::kSingleLine) != 0);

    const auto layout = impl_->Layout(runs, OptionsFor(rect, style, layered));
    const UISize size = layout->Size();
    if (cr != nullptr && !(style & TextStyle::kCalcRect)) {
        DrawLayout(cr, *layout, rect, style, BlockOrigin(rect, style, size));
    }
    return size;
}

UISize CTextRenderer::DrawRichText(cairo_t* cr, const UIRect& rect, std::string_view markup, const IFontSource& fonts,
                                   const TextColours& colours, unsigned style, int hoverLink,
                                   std::vector<RichTextLink>* links, std::size_t maxLinks, bool layered) {
    CRichTextParser parser(fonts, colours, hoverLink, (style & TextStyle::kSingleLine) != 0);
    const RichTextDocument document = parser.Parse(markup);
    const auto layout = impl_->Layout(document.runs, OptionsFor(rect, style, layered));
    const UISize size = layout->Size();
    const UIPoint origin = BlockOrigin(rect, style, size);

    if (links != nullptr) {
        links->clear();
        const std::size_t count = std::min(document.linkTexts.size(), maxLinks);
        for (std::size_t i = 0; i < count; ++i) {
            RichTextLink link;
            link.text = document.linkTexts[i];
            for (UIRect area : layout->LinkRects(static_cast<int>(i))) {
                area = {area.left + origin.x, area.top + origin.y, area.right + origin.x, area.bottom + origin.y};
                if (!(style & TextStyle::kNoClip)) area = Intersection(area, rect);
                if (!area.IsEmpty()) link.rects.push_back(area);
            }
            links->push_back(std::move(link));
        }
    }
    if (cr != nullptr && !(style & TextStyle::kCalcRect)) DrawLayout(cr, *layout, rect, style, origin);
    return size;
}

}  // namespace ZembraUI
