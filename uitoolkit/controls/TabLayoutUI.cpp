#include "uitoolkit/controls/TabLayoutUI.h"

#include <algorithm>

#include "uitoolkit/RectMath.h"
#include "uitoolkit/manager/UIManager.h"
#include "uitoolkit/markup/NumberList.h"

namespace ZembraUI {

std::string_view CTabLayoutUI::TypeName() const { return "TabLayoutUI"; }

void* CTabLayoutUI::AsInterface(std::string_view name) {
    if (name == "TabLayout") return this;
    return CContainerUI::AsInterface(name);
}

bool CTabLayoutUI::AddAt(CControlUI* control, int index) {
    if (!CContainerUI::AddAt(control, index)) return false;
    // The first visible page added becomes the selected one; later pages
    // start hidden.
    if (selected_ < 0 && control->Visible()) {
        selected_ = ItemIndex(control);
    } else {
        if (selected_ >= index) ++selected_;
        control->PutVisible(false);
    }
    return true;
}

bool CTabLayoutUI::Remove(CControlUI* control, bool keep) {
    const int index = ItemIndex(control);
    if (!CContainerUI::Remove(control, keep)) return false;
    if (index == selected_) {
        selected_ = -1;
        if (Count() > 0) SelectItem(std::min(index, Count() - 1));
    } else if (index < selected_) {
        --selected_;
    }
    return true;
}

void CTabLayoutUI::RemoveAll() {
    selected_ = -1;
    CContainerUI::RemoveAll();
}

bool CTabLayoutUI::SelectItem(int index) {
    if (index < 0 || index >= Count()) return false;
    if (index == selected_) return true;
    const int old = selected_;
    selected_ = index;
    for (int i = 0; i < Count(); ++i) ItemAt(i)->PutVisible(i == index);
    NeedUpdate();
    if (manager_ != nullptr) {
        manager_->SendNotification(this, "tabselect", static_cast<std::uintptr_t>(index), old);
    }
    return true;
}

void CTabLayoutUI::Place(const UIRect& rect) {
    CControlUI::Place(rect);
    const UIRect inner = InnerRect();
    CControlUI* page = ItemAt(selected_);
    if (page == nullptr || !page->Visible()) return;
    const UIRect& padding = page->Padding();
    const UIRect area = Deflate(inner, padding);
    const UISize measured = page->Measure({area.Width(), area.Height()});
    const int width = Clamp(measured.cx != 0 ? measured.cx : area.Width(), page->MinWidth(),
                            std::max(page->MaxWidth(), page->MinWidth()));
    const int height = Clamp(measured.cy != 0 ? measured.cy : area.Height(), page->MinHeight(),
                             std::max(page->MaxHeight(), page->MinHeight()));
    page->Place({area.left, area.top, area.left + width, area.top + height});
}

void CTabLayoutUI::ApplyAttr(std::string_view name, std::string_view value) {
    if (name == "selectedid") {
        SelectItem(ParseNumberList(value, 1)[0]);
    } else {
        CContainerUI::ApplyAttr(name, value);
    }
}

}  // namespace ZembraUI
