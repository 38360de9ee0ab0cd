#include "uitoolkit/controls/LabelUI.h"

#include "uitoolkit/RectMath.h"
#include "uitoolkit/manager/UIManager.h"
#include "uitoolkit/markup/ColorValue.h"
#include "uitoolkit/markup/NumberList.h"
#include "uitoolkit/text/TextRenderer.h"
#include "uitoolkit/text/TextStyle.h"

namespace ZembraUI {

using namespace TextStyle;

namespace {

constexpr unsigned kHorizontalBits = kCenter | kRight;
constexpr unsigned kVerticalBits = kVCenter | kBottom;

bool Has(std::string_view value, std::string_view word) { return value.find(word) != std::string_view::npos; }

}  // namespace

CLabelUI::CLabelUI() : textStyle_(kVCenter | kSingleLine) {}

std::string_view CLabelUI::TypeName() const { return "LabelUI"; }

void* CLabelUI::AsInterface(std::string_view name) {
    if (name == "Label") return this;
    return CControlUI::AsInterface(name);
}

void CLabelUI::PutFont(int index) {
    font_ = index;
    Invalidate();
}

void CLabelUI::PutTextColor(std::uint32_t colour) {
    textColor_ = colour;
    Invalidate();
}

void CLabelUI::PutTextPadding(const UIRect& padding) {
    textPadding_ = padding;
    Invalidate();
}

void CLabelUI::PutShowHtml(bool showHtml) {
    showHtml_ = showHtml;
    Invalidate();
}

void CLabelUI::PutText(const std::string& text) {
    const bool changed = text != text_;
    CControlUI::PutText(text);
    // A label sized by its text asks its parent for room again.
    if (changed && autoCalcWidth_) NeedParentUpdate();
}

UISize CLabelUI::TextExtent(const std::string& text, unsigned style) {
    if (manager_ == nullptr) return {};
    const UIRect box{0, 0, 9999, 9999};
    CTextRenderer& renderer = manager_->TextRenderer();
    const unsigned measure = (style & ~(kHorizontalBits | kVerticalBits)) | kCalcRect;
    if (showHtml_) {
        return renderer.DrawRichText(manager_->MeasureContext(), box, text, *manager_,
                                     manager_->ColoursFor(textColor_), measure);
    }
    return renderer.DrawPlainText(manager_->MeasureContext(), box, text, manager_->FontAt(font_), textColor_,
                                  measure);
}

UISize CLabelUI::Measure(UISize available) {
    if (autoCalcWidth_) {
        const int width = TextExtent(text_, textStyle_ | kSingleLine).cx + textPadding_.left + textPadding_.right;
        // The width follows the text without asking for another layout: the
        // layout asking is the one that uses it.
        StoreFixedWidth(width);
    }
    if (FixedHeight() > 0) return {FixedWidth(), FixedHeight()};
    const int lineHeight = manager_ != nullptr ? manager_->TextRenderer().LineHeight(manager_->FontAt(font_)) : 0;
    (void)available;
    return {FixedWidth(), lineHeight + 4};
}

void CLabelUI::ApplyAttr(std::string_view name, std::string_view value) {
    if (name == "align") {
        if (Has(value, "left")) textStyle_ &= ~kHorizontalBits;
        if (Has(value, "center")) textStyle_ = (textStyle_ & ~kHorizontalBits) | kCenter;
        if (Has(value, "right")) textStyle_ = (textStyle_ & ~kHorizontalBits) | kRight;
    } else if (name == "valign") {
        if (Has(value, "top")) textStyle_ &= ~kVerticalBits;
        if (Has(value, "vcenter")) textStyle_ = (textStyle_ & ~kVerticalBits) | kVCenter;
        if (Has(value, "bottom")) textStyle_ = (textStyle_ & ~kVerticalBits) | kBottom;
    } else if (name == "endellipsis") {
        textStyle_ = IsTrue(value) ? textStyle_ | kEndEllipsis : textStyle_ & ~kEndEllipsis;
    } else if (name == "font") {
        PutFont(ParseNumberList(value, 1)[0]);
    } else if (name == "textcolor") {
        PutTextColor(ParseColorValue(value));
    } else if (name == "disabledtextcolor") {
        disabledTextColor_ = ParseColorValue(value);
    } else if (name == "textpadding") {
        PutTextPadding(ParseRectValue(value));
    } else if (name == "showhtml") {
        PutShowHtml(IsTrue(value));
    } else if (name == "autocalcwidth") {
        autoCalcWidth_ = IsTrue(value);
        NeedParentUpdate();
    } else {
        CControlUI::ApplyAttr(name, value);
    }
}

std::uint32_t CLabelUI::CurrentTextColor() const {
    if (manager_ == nullptr) return Enabled() ? textColor_ : disabledTextColor_;
    if (!Enabled()) return disabledTextColor_ != 0 ? disabledTextColor_ : manager_->Window().disabledTextColor;
    return textColor_ != 0 ? textColor_ : manager_->Window().defaultTextColor;
}

void CLabelUI::DrawTextIn(cairo_t* cr, const UIRect& rect, const std::string& text, std::uint32_t colour,
                          unsigned style, int hoverLink, std::vector<RichTextLink>* links, std::size_t maxLinks) {
    if (manager_ == nullptr || text.empty() || rect.IsEmpty()) return;
    CTextRenderer& renderer = manager_->TextRenderer();
    if (showHtml_) {
        renderer.DrawRichText(cr, rect, text, *manager_, manager_->ColoursFor(colour), style, hoverLink, links,
                              maxLinks, manager_->IsLayered());
    } else {
        renderer.DrawPlainText(cr, rect, text, manager_->FontAt(font_), colour, style, manager_->IsLayered());
    }
}

void CLabelUI::RenderText(cairo_t* cr, const UIRect&) {
    DrawTextIn(cr, Deflate(pos_, textPadding_), text_, CurrentTextColor(), textStyle_ | kSingleLine);
}

}  // namespace ZembraUI
