#pragma once
// A combo's drop-down list: a borderless popup below the combo whose own
// manager (a child of the combo's, so default attribute lists, fonts and
// colours are shared) hosts the combo's items in a vertical layout with a
// scroll bar while the list is open, and gives them back when it closes. A
// click on an item selects it; a release anywhere but on the scroll bar
// closes the list; Up and Down move the choice, Enter keeps it, Escape
// restores the old one; a click elsewhere in the owner or the owner losing
// the focus closes the list with the choice as it stands.
#include <memory>

#include "uitoolkit/manager/NotifyUI.h"
#include "uitoolkit/window/HostWindow.h"

namespace ZembraUI {

class CComboUI;
class CUIManager;
class CVerticalLayoutUI;
class CWindowUIHost;

class CDropDownWindow : public CHostWindow, public INotifyUI {
public:
    // The list's height when the combo sets no "dropboxsize".
    static constexpr int kDefaultHeight = 150;

    CDropDownWindow(CComboUI& combo, CHostWindow& owner);
    ~CDropDownWindow() override;
    bool Open();
    // Ends the list (keeping the choice) and hands the items back to the
    // combo; nothing when already closed.
    void Close();
    // Keys of the owner while the list is open; true when used.
    bool HandleKey(const KeyInput& input);
    // The list's own manager (its items live there while it is open).
    CUIManager* Manager() const { return manager_.get(); }
    CVerticalLayoutUI* Layout() const { return layout_; }

    void Notify(TNotifyUI& notification) override;

protected:
    void OnPaint(CPaintSurface& surface, const std::vector<UIRect>& areas) override;
    void OnTimer(unsigned id) override;
    void OnMouseMove(const MouseInput& input) override;
    void OnMouseButton(const MouseInput& input) override;
    void OnMouseWheel(int delta, const MouseInput& input) override;
    void OnMouseLeave() override;
    void OnKey(const KeyInput& input) override { HandleKey(input); }
    void OnCloseRequest() override { Close(); }
    // The list goes when the focus leaves it for another window than its owner.
    void OnFocus(bool gained) override;

private:
    CVerticalLayoutUI* MakeLayout();
    UISize ListSize(int width) const;
    void Choose(int index);
    // Scrolls the list so the combo's choice is in view.
    void ShowChoice();
    void GiveItemsBack();
    void Send(const UIMessage& message);

    CComboUI& combo_;
    CHostWindow& owner_;
    std::unique_ptr<CUIManager> manager_;
    std::unique_ptr<CWindowUIHost> host_;
    CVerticalLayoutUI* layout_ = nullptr;  // the manager's root while open
    int oldChoice_ = -1;
};

}  // namespace ZembraUI
