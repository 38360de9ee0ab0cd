#include "uitoolkit/controls/ComboUI.h"

#include "uitoolkit/RectMath.h"
#include "uitoolkit/controls/ButtonUI.h"
#include "uitoolkit/controls/ListLabelElementUI.h"
#include "uitoolkit/manager/UIManager.h"
#include "uitoolkit/markup/NumberList.h"

namespace ZembraUI {
namespace {

CListLabelElementUI* AsItem(CControlUI* control) {
    return control != nullptr ? static_cast<CListLabelElementUI*>(control->AsInterface("ListItem")) : nullptr;
}

}  // namespace

CComboUI::CComboUI() { textPadding_ = {4, 0, 4, 0}; }

std::string_view CComboUI::TypeName() const { return "ComboUI"; }

void* CComboUI::AsInterface(std::string_view name) {
    if (name == "Combo") return this;
    return CContainerUI::AsInterface(name);
}

unsigned CComboUI::Flags() const { return ControlFlag::kTabStop; }

bool CComboUI::Fire() {
    if (!CControlUI::Fire() || manager_ == nullptr) return false;
    droppedDown_ = true;
    if (manager_->Host() != nullptr) manager_->Host()->OpenDropDown(*this);
    manager_->SendNotification(this, "dropdown");
    return true;
}

bool CComboUI::SelectItem(int index) {
    if (index == selected_) return true;
    const int old = selected_;
    if (CListLabelElementUI* current = AsItem(ItemAt(selected_))) current->PutSelected(false);
    selected_ = -1;
    Invalidate();
    if (index < 0 || items_.empty()) return false;
    if (index >= Count()) index = Count() - 1;
    CControlUI* control = ItemAt(index);
    if (!control->Visible() || !control->Enabled()) return false;
    selected_ = index;
    if (CListLabelElementUI* item = AsItem(control)) item->PutSelected(true);
    if (manager_ != nullptr) {
        manager_->SendNotification(this, "itemselect", static_cast<std::uintptr_t>(selected_), old);
    }
    return true;
}

bool CComboUI::Add(CControlUI* control) { return AddAt(control, Count()); }

bool CComboUI::AddAt(CControlUI* control, int index) {
    if (!CContainerUI::AddAt(control, index)) return false;
    if (CListLabelElementUI* item = AsItem(control)) item->SetOwner(this);
    if (selected_ >= index) ++selected_;
    return true;
}

bool CComboUI::Remove(CControlUI* control, bool keep) {
    const int index = ItemIndex(control);
    if (keep && index >= 0) {
        if (CListLabelElementUI* item = AsItem(control)) item->SetOwner(nullptr);
    }
    if (!CContainerUI::Remove(control, keep)) return false;
    if (index == selected_) {
        selected_ = -1;
    } else if (index < selected_) {
        --selected_;
    }
    return true;
}

void CComboUI::RemoveAll() {
    selected_ = -1;
    CContainerUI::RemoveAll();
}

std::string CComboUI::Text() const {
    const CControlUI* item = ItemAt(selected_);
    return item != nullptr ? item->Text() : std::string();
}

void CComboUI::Place(const UIRect& rect) {
    // The items live in the drop-down list, which lays them out itself.
    CControlUI::Place(rect);
}

CControlUI* CComboUI::Locate(const FindQuery& query) {
    // Items are not under the combo on screen: point searches stop here.
    if (query.flags & FindFlag::kHitTest) return CControlUI::Locate(query);
    return CContainerUI::Locate(query);
}

void CComboUI::SetStateBit(unsigned bit, bool on) {
    const unsigned old = state_;
    state_ = on ? state_ | bit : state_ & ~bit;
    if (old != state_) Invalidate();
}

void CComboUI::SelectStep(int step) {
    for (int index = selected_ + step; index >= 0 && index < Count(); index += step) {
        const CControlUI* item = ItemAt(index);
        if (item->Visible() && item->Enabled()) {
            SelectItem(index);
            return;
        }
    }
}

void CComboUI::OnEvent(ControlEvent& event) {
    if (!MouseEnabled() && IsMouseEvent(event.kind)) {
        CContainerUI::OnEvent(event);
        return;
    }
    switch (event.kind) {
    case kEventSetFocus:
        SetStateBit(ButtonState::kFocused, true);
        break;
    case kEventKillFocus:
        SetStateBit(ButtonState::kFocused, false);
        break;
    case kEventButtonDown:
        if (Enabled() && Contains(pos_, event.mouse)) {
            Fire();
            SetStateBit(ButtonState::kPushed | ButtonState::kCaptured, true);
        }
        return;
    case kEventButtonUp:
        SetStateBit(ButtonState::kPushed | ButtonState::kCaptured, false);
        return;
    case kEventMouseMove:
        return;
    case kEventKeyDown:
        if (event.character == KeyCode::kUp) SelectStep(-1);
        if (event.character == KeyCode::kDown) SelectStep(1);
        if (event.character == KeyCode::kUp || event.character == KeyCode::kDown) return;
        if (event.character == KeyCode::kSpace || event.character == KeyCode::kReturn) {
            Fire();
            return;
        }
        break;
    case kEventScrollWheel:
        SelectStep(event.wParam != 0 ? 1 : -1);
        return;
    case kEventMouseEnter:
    case kEventMouseLeave:
        if (Enabled()) SetStateBit(ButtonState::kHot, event.kind == kEventMouseEnter);
        return;
    case kEventSetCursor:
        if (manager_ != nullptr) manager_->SetCursor(CursorShape::Arrow);
        return;
    default:
        break;
    }
    CContainerUI::OnEvent(event);
}

void CComboUI::ApplyAttr(std::string_view name, std::string_view value) {
    if (itemStyle_.Apply(name, value)) {
        Invalidate();
        return;
    }
    const std::string text(value);
    if (name == "textpadding") {
        textPadding_ = ParseRectValue(value);
    } else if (images_.Apply(name, value)) {
    } else if (name == "dropbox") {
        dropBox_ = text;
    } else if (name == "dropboxsize") {
        dropBoxSize_ = ParseSizeValue(value);
    } else {
        CContainerUI::ApplyAttr(name, value);
        return;
    }
    Invalidate();
}

void CComboUI::Render(cairo_t* cr, const UIRect& paint) {
    // Only the combo itself: its items show in the drop-down list.
    CControlUI::Render(cr, paint);
}

void CComboUI::RenderStateImages(cairo_t* cr, const UIRect& paint) {
    bool drawn = false;
    if (!Enabled()) {
        drawn = DrawImage(cr, paint, images_.disabled);
    } else if (state_ & ButtonState::kPushed) {
        drawn = DrawImage(cr, paint, images_.pushed);
    } else if (state_ & ButtonState::kHot) {
        drawn = DrawImage(cr, paint, images_.hot);
    } else if (state_ & ButtonState::kFocused) {
        drawn = DrawImage(cr, paint, images_.focused);
    }
    if (!drawn) DrawImage(cr, paint, images_.normal);
}

void CComboUI::RenderText(cairo_t* cr, const UIRect&) {
    CListLabelElementUI* item = AsItem(ItemAt(selected_));
    if (item == nullptr) return;
    // The selected item is drawn in its normal look inside the combo.
    item->DrawItemText(cr, Deflate(pos_, textPadding_), true);
}

}  // namespace ZembraUI
