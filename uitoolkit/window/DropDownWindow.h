#pragma once
// A combo's drop-down list: a borderless popup below the combo that draws
// the combo's items in their item style. A click on an item selects it and
// closes the list; Up and Down move the choice, Enter keeps it, Escape
// restores the old one; a click elsewhere in the owner or the owner losing
// the focus closes the list with the choice as it stands.
#include "uitoolkit/window/HostWindow.h"

namespace ZembraUI {

class CComboUI;

class CDropDownWindow : public CHostWindow {
public:
    static constexpr int kDefaultRowHeight = 24;

    CDropDownWindow(CComboUI& combo, CHostWindow& owner);
    bool Open();
    // Ends the list (keeping the choice); nothing when already closed.
    void Close();
    // Keys of the owner while the list is open; true when used.
    bool HandleKey(const KeyInput& input);
    int RowHeight() const { return rowHeight_; }
    int HotRow() const { return hotRow_; }

protected:
    void OnPaint(CPaintSurface& surface, const std::vector<UIRect>& areas) override;
    void OnMouseMove(const MouseInput& input) override;
    void OnMouseButton(const MouseInput& input) override;
    void OnKey(const KeyInput& input) override { HandleKey(input); }
    void OnCloseRequest() override { Close(); }
    // The list goes when the focus leaves it for another window than its owner.
    void OnFocus(bool gained) override;

private:
    int RowAt(const UIPoint& point) const;
    void Choose(int row);

    CComboUI& combo_;
    CHostWindow& owner_;
    int oldChoice_ = -1;
    int hotRow_ = -1;
    int rowHeight_ = kDefaultRowHeight;
};

}  // namespace ZembraUI
