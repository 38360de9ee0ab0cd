#pragma once
// One item of a combo: a line of text drawn with the owning combo's item
// style for its state (normal, hot, selected, disabled). A press selects it
// through the combo; the release sends "itemclick".
#include "uitoolkit/controls/LabelUI.h"

namespace ZembraUI {

class CComboUI;

class CListLabelElementUI : public CLabelUI {
public:
    std::string_view TypeName() const override;
    void* AsInterface(std::string_view name) override;
    unsigned Flags() const override;

    // The combo the item belongs to, also while a drop-down list hosts it.
    CComboUI* Owner() const;
    void SetOwner(CComboUI* owner) { owner_ = owner; }
    int Index() const;
    bool Selected() const { return selected_; }
    // Changes only the item's own mark; the combo keeps the index.
    void PutSelected(bool selected);
    bool Hot() const { return hot_; }

    // Draws the item's text with the owner's item style into rect (the
    // combo draws its selected item this way too, in the normal look).
    void DrawItemText(cairo_t* cr, const UIRect& rect, bool normalLook = false);

    UISize Measure(UISize available) override;
    void OnEvent(ControlEvent& event) override;
    void ApplyAttr(std::string_view name, std::string_view value) override;
    void RenderBkColor(cairo_t* cr, const UIRect& paint) override;
    void RenderStateImages(cairo_t* cr, const UIRect& paint) override;
    void RenderText(cairo_t* cr, const UIRect& paint) override;

private:
    CComboUI* owner_ = nullptr;
    bool selected_ = false;
    bool hot_ = false;
};

}  // namespace ZembraUI
