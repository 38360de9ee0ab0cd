#pragma once
// Pages on top of each other: only the selected child is visible and laid
// out. Selecting another page sends "tabselect" (new index, old index).
#include "uitoolkit/controls/ContainerUI.h"

namespace ZembraUI {

class CTabLayoutUI : public CContainerUI {
public:
    std::string_view TypeName() const override;
    void* AsInterface(std::string_view name) override;

    bool AddAt(CControlUI* control, int index) override;
    bool Remove(CControlUI* control, bool keep = false) override;
    void RemoveAll() override;
    int CurrentSelection() const { return selected_; }
    // False for an index out of range; selecting the current page again
    // changes nothing and sends nothing.
    bool SelectItem(int index);
    bool SelectItem(CControlUI* control) { return SelectItem(ItemIndex(control)); }

    void Place(const UIRect& rect) override;
    void ApplyAttr(std::string_view name, std::string_view value) override;

private:
    int selected_ = -1;
};

}  // namespace ZembraUI
