#include "uitoolkit/controls/ContainerUI.h"

#include <algorithm>

#include "uitoolkit/RectMath.h"
#include "uitoolkit/controls/ScrollBarUI.h"
#include "uitoolkit/manager/UIManager.h"
#include "uitoolkit/markup/NumberList.h"

namespace ZembraUI {

CContainerUI::CContainerUI() = default;

CContainerUI::~CContainerUI() {
    for (CControlUI* item : items_) delete item;
}

std::string_view CContainerUI::TypeName() const { return "ContainerUI"; }

void* CContainerUI::AsInterface(std::string_view name) {
    if (name == "Container" || name == "IContainer") return this;
    return CControlUI::AsInterface(name);
}

void CContainerUI::Attach(CUIManager* manager, CControlUI* parent, bool init) {
    for (CControlUI* item : items_) item->Attach(manager, this, init);
    if (vScroll_) vScroll_->Attach(manager, this, init);
    if (hScroll_) hScroll_->Attach(manager, this, init);
    CControlUI::Attach(manager, parent, init);
}

CControlUI* CContainerUI::ItemAt(int index) const {
    if (index < 0 || index >= Count()) return nullptr;
    return items_[static_cast<std::size_t>(index)];
}

int CContainerUI::ItemIndex(const CControlUI* control) const {
    const auto found = std::find(items_.begin(), items_.end(), control);
    return found == items_.end() ? -1 : static_cast<int>(found - items_.begin());
}

bool CContainerUI::Add(CControlUI* control) { return AddAt(control, Count()); }

bool CContainerUI::AddAt(CControlUI* control, int index) {
    if (control == nullptr || index < 0 || index > Count() || ItemIndex(control) >= 0) return false;
    if (manager_ != nullptr) {
        manager_->InitControls(control, this);
    } else {
        control->Attach(nullptr, this, false);
    }
    items_.insert(items_.begin() + index, control);
    NeedUpdate();
    return true;
}

bool CContainerUI::Remove(CControlUI* control, bool keep) {
    const int index = ItemIndex(control);
    if (index < 0) return false;
    items_.erase(items_.begin() + index);
    NeedUpdate();
    if (keep) {
        if (manager_ != nullptr) manager_->ForgetControl(control);
        control->Attach(nullptr, nullptr, false);
    } else if (manager_ != nullptr) {
        manager_->ScheduleDelete(control);
    } else {
        delete control;
    }
    return true;
}

void CContainerUI::RemoveAll() {
    while (!items_.empty()) Remove(items_.back());
}

void CContainerUI::PutInset(const UIRect& inset) {
    inset_ = inset;
    NeedUpdate();
}

void CContainerUI::PutChildPadding(int padding) {
    childPadding_ = padding;
    NeedUpdate();
}

UIRect CContainerUI::InnerRect() const {
    UIRect inner = Deflate(pos_, inset_);
    if (vScroll_ && vScroll_->Visible()) inner.right -= vScroll_->FixedWidth();
    if (hScroll_ && hScroll_->Visible()) inner.bottom -= hScroll_->FixedHeight();
    return inner;
}

UISize CContainerUI::ScrollPos() const {
    return {hScroll_ ? hScroll_->ScrollPos() : 0, vScroll_ ? vScroll_->ScrollPos() : 0};
}

UISize CContainerUI::ScrollRange() const {
    return {hScroll_ && hScroll_->Visible() ? hScroll_->Range() : 0,
            vScroll_ && vScroll_->Visible() ? vScroll_->Range() : 0};
}

void CContainerUI::PutScrollPos(UISize pos) {
    // The bars clamp the position and ask this container for a layout.
    if (vScroll_) vScroll_->PutScrollPos(pos.cy);
    if (hScroll_) hScroll_->PutScrollPos(pos.cx);
}

void CContainerUI::LineUp() {
    if (vScroll_) PutScrollPos({ScrollPos().cx, ScrollPos().cy - vScroll_->LineSize()});
}

void CContainerUI::LineDown() {
    if (vScroll_) PutScrollPos({ScrollPos().cx, ScrollPos().cy + vScroll_->LineSize()});
}

void CContainerUI::LineLeft() {
    if (hScroll_) PutScrollPos({ScrollPos().cx - hScroll_->LineSize(), ScrollPos().cy});
}

void CContainerUI::LineRight() {
    if (hScroll_) PutScrollPos({ScrollPos().cx + hScroll_->LineSize(), ScrollPos().cy});
}

void CContainerUI::EnableScrollBar(bool vertical, bool horizontal) {
    auto make = [&](std::unique_ptr<CScrollBarUI>& bar, bool wanted, bool isHorizontal) {
        if (wanted && !bar) {
            bar = std::make_unique<CScrollBarUI>();
            bar->PutHorizontal(isHorizontal);
            bar->PutOwner(this);
            bar->PutVisible(false);
            bar->Attach(manager_, this, false);
            if (manager_ != nullptr) {
                bar->ApplyAttrList(manager_->DefaultAttributeList(isHorizontal ? "HScrollBar" : "VScrollBar"));
            }
        } else if (!wanted && bar) {
            if (manager_ != nullptr) manager_->ForgetControl(bar.get());
            bar.reset();
        }
    };
    make(vScroll_, vertical, false);
    make(hScroll_, horizontal, true);
    NeedUpdate();
}

void CContainerUI::UpdateScrollBar(CScrollBarUI& bar, int required, int available, bool& changed) {
    const bool needed = required > available;
    if (needed != bar.Visible()) changed = true;
    // PutVisible on the bar would ask this container for a layout again;
    // the caller re-places once instead.
    bar.CControlUI::PutVisible(needed);
    bar.ClearNeedsLayout();
    bar.PutRange(needed ? required - available : 0);
    if (!needed) bar.PutScrollPos(0);
}

void CContainerUI::ProcessScrollBar(const UIRect& inner, int requiredWidth, int requiredHeight) {
    bool changed = false;
    if (vScroll_) UpdateScrollBar(*vScroll_, requiredHeight, inner.Height(), changed);
    if (hScroll_) UpdateScrollBar(*hScroll_, requiredWidth, inner.Width(), changed);
    if (changed && !replacing_) {
        replacing_ = true;
        const UIRect rect = pos_;
        pos_ = {};
        Place(rect);
        replacing_ = false;
        return;
    }
    const UIRect area = Deflate(pos_, inset_);
    if (vScroll_ && vScroll_->Visible()) {
        const int bottom = hScroll_ && hScroll_->Visible() ? area.bottom - hScroll_->FixedHeight() : area.bottom;
        vScroll_->Place({area.right - vScroll_->FixedWidth(), area.top, area.right, bottom});
    }
    if (hScroll_ && hScroll_->Visible()) {
        const int right = vScroll_ && vScroll_->Visible() ? area.right - vScroll_->FixedWidth() : area.right;
        hScroll_->Place({area.left, area.bottom - hScroll_->FixedHeight(), right, area.bottom});
    }
}

CControlUI* CContainerUI::Locate(const FindQuery& query) {
    const unsigned flags = query.flags;
    if ((flags & FindFlag::kVisible) && !Visible()) return nullptr;
    if ((flags & FindFlag::kEnabled) && !Enabled()) return nullptr;
    const bool hitTest = (flags & FindFlag::kHitTest) != 0;
    if (hitTest && !Contains(pos_, query.point)) return nullptr;
    auto self = [&]() -> CControlUI* {
        if (hitTest && !MouseEnabled()) return nullptr;
        return query.test(*this) ? this : nullptr;
    };
    for (CScrollBarUI* bar : {vScroll_.get(), hScroll_.get()}) {
        if (bar == nullptr) continue;
        if (CControlUI* found = bar->Locate(query)) return found;
    }
    if (flags & FindFlag::kMeFirst) {
        if (CControlUI* found = self()) return found;
    }
    if (!hitTest || mouseChildEnabled_) {
        const UIRect inner = InnerRect();
        const bool topFirst = (flags & FindFlag::kTopFirst) != 0;
        const int count = Count();
        for (int i = 0; i < count; ++i) {
            CControlUI* item = items_[static_cast<std::size_t>(topFirst ? count - 1 - i : i)];
            CControlUI* found = item->Locate(query);
            if (found == nullptr) continue;
            if (hitTest && !item->Floating() && !Contains(inner, query.point)) continue;
            return found;
        }
    }
    if (!(flags & FindFlag::kMeFirst)) return self();
    return nullptr;
}

void CContainerUI::OnEvent(ControlEvent& event) {
    if (!MouseEnabled() && IsMouseEvent(event.kind)) {
        CControlUI::OnEvent(event);
        return;
    }
    if (event.kind == kEventScrollWheel && vScroll_ && vScroll_->Visible() && vScroll_->Enabled()) {
        if (event.wParam != 0) {
            LineDown();
        } else {
            LineUp();
        }
        return;
    }
    CControlUI::OnEvent(event);
}

void CContainerUI::ApplyAttr(std::string_view name, std::string_view value) {
    if (name == "inset") {
        PutInset(ParseRectValue(value));
    } else if (name == "childpadding") {
        PutChildPadding(ParseNumberList(value, 1)[0]);
    } else if (name == "vscrollbar") {
        EnableScrollBar(IsTrue(value), hScroll_ != nullptr);
    } else if (name == "hscrollbar") {
        EnableScrollBar(vScroll_ != nullptr, IsTrue(value));
    } else if (name == "vscrollbarstyle") {
        EnableScrollBar(true, hScroll_ != nullptr);
        vScroll_->ApplyAttrList(value);
    } else if (name == "hscrollbarstyle") {
        EnableScrollBar(vScroll_ != nullptr, true);
        hScroll_->ApplyAttrList(value);
    } else if (name == "mousechild") {
        mouseChildEnabled_ = IsTrue(value);
    } else if (name == "scrollstepsize") {
        scrollStepSize_ = ParseNumberList(value, 1)[0];
    } else {
        CControlUI::ApplyAttr(name, value);
    }
}

void CContainerUI::Render(cairo_t* cr, const UIRect& paint) {
    const UIRect area = Intersect(paint, pos_);
    if (area.IsEmpty()) return;
    cairo_save(cr);
    cairo_rectangle(cr, area.left, area.top, area.Width(), area.Height());
    cairo_clip(cr);
    RenderBkColor(cr, area);
    RenderBkImage(cr, area);
    RenderStateImages(cr, area);
    RenderText(cr, area);
    RenderBorder(cr, area);
    RenderChildren(cr, area);
    for (CScrollBarUI* bar : {vScroll_.get(), hScroll_.get()}) {
        if (bar != nullptr && bar->Visible()) bar->Render(cr, area);
    }
    cairo_restore(cr);
    RenderOverlay(cr, area);
}

void CContainerUI::RenderChildren(cairo_t* cr, const UIRect& paint) {
    const UIRect inner = Intersect(paint, InnerRect());
    for (CControlUI* item : items_) {
        if (!item->Visible()) continue;
        const UIRect clip = item->Floating() ? paint : inner;
        if (clip.IsEmpty() || Intersect(clip, item->Pos()).IsEmpty()) continue;
        item->Render(cr, clip);
    }
}

void CContainerUI::PutVisible(bool visible) {
    if (Visible() == visible) return;
    CControlUI::PutVisible(visible);
    // Hiding a container drops the focus of a control inside it.
    if (!visible && manager_ != nullptr && manager_->FocusedControl() != nullptr) {
        for (CControlUI* control = manager_->FocusedControl(); control != nullptr; control = control->Parent()) {
            if (control == this) {
                manager_->MoveFocus(nullptr);
                break;
            }
        }
    }
}

}  // namespace ZembraUI

