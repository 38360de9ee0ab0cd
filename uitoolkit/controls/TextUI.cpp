#include "uitoolkit/controls/TextUI.h"

#include "uitoolkit/RectMath.h"
#include "uitoolkit/manager/UIManager.h"
#include "uitoolkit/text/TextStyle.h"

namespace ZembraUI {

CTextUI::CTextUI() {
    textStyle_ = TextStyle::kWordBreak;
    textPadding_ = {2, 0, 2, 0};
}

std::string_view CTextUI::TypeName() const { return "TextUI"; }

void* CTextUI::AsInterface(std::string_view name) {
    if (name == "Text") return this;
    return CLabelUI::AsInterface(name);
}

unsigned CTextUI::Flags() const { return Enabled() && !links_.empty() ? ControlFlag::kSetCursor : 0; }

int CTextUI::LinkAt(const UIPoint& point) const {
    for (std::size_t i = 0; i < links_.size(); ++i) {
        for (const UIRect& rect : links_[i].rects) {
            if (Contains(rect, point)) return static_cast<int>(i);
        }
    }
    return -1;
}

void CTextUI::PutText(const std::string& text) {
    if (text != text_) {
        // The links are found again when the new text is drawn.
        links_.clear();
        hoverLink_ = -1;
    }
    CLabelUI::PutText(text);
}

UISize CTextUI::Measure(UISize) { return {FixedWidth(), FixedHeight()}; }

void CTextUI::OnEvent(ControlEvent& event) {
    if (!MouseEnabled() && IsMouseEvent(event.kind)) {
        CLabelUI::OnEvent(event);
        return;
    }
    switch (event.kind) {
    case kEventSetCursor:
        if (manager_ != nullptr) {
            manager_->SetCursor(LinkAt(event.mouse) >= 0 ? CursorShape::Hand : CursorShape::Arrow);
        }
        return;
    case kEventButtonDown:
    case kEventDoubleClick:
        return;
    case kEventButtonUp:
        if (Enabled() && manager_ != nullptr) {
            if (const int link = LinkAt(event.mouse); link >= 0) {
                manager_->SendNotification(this, "link", static_cast<std::uintptr_t>(link));
            }
        }
        return;
    case kEventMouseMove:
    case kEventMouseEnter:
    case kEventMouseLeave: {
        const int link = event.kind == kEventMouseLeave ? -1 : LinkAt(event.mouse);
        if (link != hoverLink_) {
            hoverLink_ = link;
            Invalidate();
        }
        return;
    }
    default:
        CLabelUI::OnEvent(event);
    }
}

void CTextUI::RenderText(cairo_t* cr, const UIRect&) {
    std::vector<RichTextLink> links;
    DrawTextIn(cr, Deflate(pos_, textPadding_), text_, CurrentTextColor(), textStyle_ & ~TextStyle::kSingleLine,
               hoverLink_, &links, kMaxLinks);
    // A partial repaint may clip text but the renderer still lays out the
    // whole text, so the links found are complete.
    if (showHtml_) links_ = std::move(links);
}

}  // namespace ZembraUI
