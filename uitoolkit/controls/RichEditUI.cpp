#include "uitoolkit/controls/RichEditUI.h"

#include "uitoolkit/RectMath.h"
#include "uitoolkit/controls/Utf8.h"
#include "uitoolkit/manager/UIManager.h"
#include "uitoolkit/markup/ColorValue.h"
#include "uitoolkit/markup/NumberList.h"
#include "uitoolkit/text/TextStyle.h"

namespace ZembraUI {

using namespace TextStyle;

CRichEditUI::CRichEditUI() : textStyle_(kWordBreak) {}

std::string_view CRichEditUI::TypeName() const { return "RichEditUI"; }

void* CRichEditUI::AsInterface(std::string_view name) {
    if (name == "RichEdit") return this;
    return CControlUI::AsInterface(name);
}

void CRichEditUI::PutText(const std::string& text) {
    // The holder keeps at most maxchar characters, like the editor would.
    std::string kept = text;
    if (Utf8::Length(kept) > maxChar_) kept.resize(Utf8::Offset(kept, maxChar_));
    CControlUI::PutText(kept);
}

void CRichEditUI::ApplyAttr(std::string_view name, std::string_view value) {
    const bool on = IsTrue(value);
    const std::string text(value);
    if (name == "vscrollbar") {
        vScroll_ = on;
    } else if (name == "hscrollbar") {
        hScroll_ = on;
    } else if (name == "autovscroll") {
        autoVScroll_ = on;
    } else if (name == "autohscroll") {
        autoHScroll_ = on;
    } else if (name == "wanttab") {
        wantTab_ = on;
    } else if (name == "wantreturn") {
        wantReturn_ = on;
    } else if (name == "wantctrlreturn") {
        wantCtrlReturn_ = on;
    } else if (name == "rich") {
        rich_ = on;
    } else if (name == "multiline") {
        multiLine_ = on;
        textStyle_ = on ? (textStyle_ | kWordBreak) & ~kSingleLine : (textStyle_ | kSingleLine) & ~kWordBreak;
    } else if (name == "readonly") {
        readOnly_ = on;
    } else if (name == "password") {
        password_ = on;
    } else if (name == "align") {
        textStyle_ &= ~(kCenter | kRight);
        if (value.find("center") != std::string_view::npos) textStyle_ |= kCenter;
        if (value.find("right") != std::string_view::npos) textStyle_ |= kRight;
    } else if (name == "font") {
        font_ = ParseNumberList(value, 1)[0];
    } else if (name == "textcolor") {
        textColor_ = ParseColorValue(value);
    } else if (name == "maxchar") {
        const int max = ParseNumberList(value, 1)[0];
        maxChar_ = max > 0 ? static_cast<std::size_t>(max) : 0;
        PutText(text_);
    } else if (name == "textpadding") {
        textPadding_ = ParseRectValue(value);
    } else if (name == "tipvalue") {
        tipValue_ = text;
    } else if (name == "tipvaluecolor") {
        tipValueColor_ = ParseColorValue(value);
    } else if (images_.Apply(name, value)) {
    } else {
        CControlUI::ApplyAttr(name, value);
        return;
    }
    Invalidate();
}

void CRichEditUI::RenderText(cairo_t* cr, const UIRect& paint) {
    if (manager_ == nullptr) return;
    DrawImage(cr, paint, Enabled() ? images_.normal : images_.disabled);
    const UIRect rect = Deflate(pos_, textPadding_);
    const bool tip = text_.empty();
    const std::string& shown = tip ? tipValue_ : text_;
    if (shown.empty()) return;
    const std::uint32_t colour =
        tip ? tipValueColor_ : (textColor_ != 0 ? textColor_ : manager_->Window().defaultTextColor);
    manager_->TextRenderer().DrawPlainText(cr, rect, shown, manager_->FontAt(font_), colour, textStyle_,
                                           manager_->IsLayered());
}

}  // namespace ZembraUI
