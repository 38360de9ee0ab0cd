#include "uitoolkit/controls/ListLabelElementUI.h"

#include "uitoolkit/RectMath.h"
#include "uitoolkit/controls/ComboUI.h"
#include "uitoolkit/manager/UIManager.h"
#include "uitoolkit/render/DrawEngine.h"

namespace ZembraUI {

std::string_view CListLabelElementUI::TypeName() const { return "ListLabelElementUI"; }

void* CListLabelElementUI::AsInterface(std::string_view name) {
    if (name == "ListLabelElement" || name == "ListItem") return this;
    return CLabelUI::AsInterface(name);
}

unsigned CListLabelElementUI::Flags() const { return 0; }

CComboUI* CListLabelElementUI::Owner() const {
    if (owner_ != nullptr) return owner_;
    return parent_ != nullptr ? static_cast<CComboUI*>(parent_->AsInterface("Combo")) : nullptr;
}

int CListLabelElementUI::Index() const {
    const CComboUI* owner = Owner();
    return owner != nullptr ? owner->ItemIndex(this) : -1;
}

void CListLabelElementUI::PutSelected(bool selected) {
    if (selected_ == selected) return;
    selected_ = selected;
    Invalidate();
}

UISize CListLabelElementUI::Measure(UISize) {
    if (FixedHeight() > 0 || manager_ == nullptr) return {FixedWidth(), FixedHeight()};
    const CComboUI* owner = Owner();
    const ListItemStyle style = owner != nullptr ? owner->ItemStyle() : ListItemStyle{};
    const int line = manager_->TextRenderer().LineHeight(manager_->FontAt(style.font));
    return {FixedWidth(), line + 8 + style.textPadding.top + style.textPadding.bottom};
}

void CListLabelElementUI::OnEvent(ControlEvent& event) {
    if (!MouseEnabled() && IsMouseEvent(event.kind)) {
        CLabelUI::OnEvent(event);
        return;
    }
    CComboUI* owner = Owner();
    switch (event.kind) {
    case kEventButtonDown:
    case kEventRightButtonDown:
        if (Enabled() && owner != nullptr) owner->SelectItem(Index());
        return;
    case kEventDoubleClick:
        if (Enabled() && manager_ != nullptr) manager_->SendNotification(this, "itemactivate");
        return;
    case kEventButtonUp:
        if (Enabled() && manager_ != nullptr) manager_->SendNotification(this, "itemclick");
        return;
    case kEventMouseEnter:
    case kEventMouseLeave:
        if (Enabled()) {
            hot_ = event.kind == kEventMouseEnter;
            Invalidate();
        }
        return;
    case kEventKeyDown:
    case kEventScrollWheel:
        // Keys and the wheel move the owner's selection.
        if (owner != nullptr) owner->OnEvent(event);
        return;
    case kEventMouseMove:
        return;
    default:
        CLabelUI::OnEvent(event);
    }
}

void CListLabelElementUI::ApplyAttr(std::string_view name, std::string_view value) {
    if (name == "selected") {
        if (IsTrue(value) && Owner() != nullptr) {
            Owner()->SelectItem(Index());
        } else {
            PutSelected(IsTrue(value));
        }
    } else {
        CLabelUI::ApplyAttr(name, value);
    }
}

void CListLabelElementUI::RenderBkColor(cairo_t* cr, const UIRect& paint) {
    const CComboUI* owner = Owner();
    if (owner == nullptr) {
        CLabelUI::RenderBkColor(cr, paint);
        return;
    }
    const ListItemStyle& style = owner->ItemStyle();
    std::uint32_t colour = style.bkColor;
    if (!Enabled()) {
        colour = style.disabledBkColor;
    } else if (selected_) {
        colour = style.selectedBkColor;
    } else if (hot_) {
        colour = style.hotBkColor;
    } else if (style.alternateBk && Index() % 2 == 1) {
        colour = 0;
    }
    CDrawEngine::DrawColor(cr, pos_, colour);
    if (style.lineColor != 0) {
        CDrawEngine::DrawLine(cr, {pos_.left, pos_.bottom - 1, pos_.right, pos_.bottom - 1}, 1, style.lineColor);
    }
}

void CListLabelElementUI::RenderStateImages(cairo_t* cr, const UIRect& paint) {
    const CComboUI* owner = Owner();
    if (owner == nullptr) return;
    const ListItemStyle& style = owner->ItemStyle();
    bool drawn = false;
    if (!Enabled()) {
        drawn = DrawImage(cr, paint, style.disabledImage);
    } else if (selected_) {
        drawn = DrawImage(cr, paint, style.selectedImage);
    } else if (hot_) {
        drawn = DrawImage(cr, paint, style.hotImage);
    }
    if (!drawn) DrawImage(cr, paint, style.bkImage);
}

void CListLabelElementUI::DrawItemText(cairo_t* cr, const UIRect& rect, bool normalLook) {
    if (manager_ == nullptr || text_.empty()) return;
    const CComboUI* owner = Owner();
    const ListItemStyle style = owner != nullptr ? owner->ItemStyle() : ListItemStyle{};
    std::uint32_t colour = style.textColor;
    if (!Enabled()) {
        colour = style.disabledTextColor;
    } else if (normalLook) {
    } else if (selected_) {
        colour = style.selectedTextColor;
    } else if (hot_) {
        colour = style.hotTextColor;
    }
    const UIRect area = Deflate(rect, style.textPadding);
    CTextRenderer& renderer = manager_->TextRenderer();
    if (style.showHtml) {
        renderer.DrawRichText(cr, area, text_, *manager_, manager_->ColoursFor(colour), style.textStyle, -1, nullptr,
                              0, manager_->IsLayered());
    } else {
        renderer.DrawPlainText(cr, area, text_, manager_->FontAt(style.font), colour, style.textStyle,
                               manager_->IsLayered());
    }
}

void CListLabelElementUI::RenderText(cairo_t* cr, const UIRect&) { DrawItemText(cr, pos_); }

}  // namespace ZembraUI
