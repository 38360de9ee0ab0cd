#pragma once
// A drop-down list: holds its items (CListLabelElementUI) and the selected
// index, draws the selected item's text, and asks the window for the
// drop-down list on a click ("dropdown"). Changing the selection sends
// "itemselect" (new index, old index).
#include <string>

#include "uitoolkit/controls/ContainerUI.h"
#include "uitoolkit/controls/ListItemStyle.h"
#include "uitoolkit/controls/StateImages.h"

namespace ZembraUI {

class CComboUI : public CContainerUI {
public:
    CComboUI();

    std::string_view TypeName() const override;
    void* AsInterface(std::string_view name) override;
    unsigned Flags() const override;
    bool Fire() override;

    int CurrentSelection() const { return selected_; }
    // An index past the end selects the last item; a hidden or disabled
    // item cannot be selected (the old selection is gone then too).
    bool SelectItem(int index);
    bool Add(CControlUI* control) override;
    bool AddAt(CControlUI* control, int index) override;
    bool Remove(CControlUI* control, bool keep = false) override;
    void RemoveAll() override;

    std::string Text() const override;
    const ListItemStyle& ItemStyle() const { return itemStyle_; }
    const std::string& DropBoxAttributes() const { return dropBox_; }
    UISize DropBoxSize() const { return dropBoxSize_; }
    const UIRect& TextPadding() const { return textPadding_; }
    bool DroppedDown() const { return droppedDown_; }
    // The window host tells when the drop-down list closes.
    void PutDroppedDown(bool dropped) { droppedDown_ = dropped; }

    void Place(const UIRect& rect) override;
    CControlUI* Locate(const FindQuery& query) override;
    void OnEvent(ControlEvent& event) override;
    void ApplyAttr(std::string_view name, std::string_view value) override;
    void Render(cairo_t* cr, const UIRect& paint) override;
    void RenderStateImages(cairo_t* cr, const UIRect& paint) override;
    void RenderText(cairo_t* cr, const UIRect& paint) override;

private:
    void SelectStep(int step);
    void SetStateBit(unsigned bit, bool on);

    int selected_ = -1;
    unsigned state_ = 0;
    bool droppedDown_ = false;
    UIRect textPadding_;
    StateImages images_;
    std::string dropBox_;
    UISize dropBoxSize_{0, 150};
    ListItemStyle itemStyle_;
};

}  // namespace ZembraUI
