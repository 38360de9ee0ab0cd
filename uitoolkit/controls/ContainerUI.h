#pragma once
// A control that owns children: inset, child padding, scroll bars, the
// search and painting of children. The layouts derive from it.
#include <memory>
#include <vector>

#include "uitoolkit/controls/ControlUI.h"

namespace ZembraUI {

class CScrollBarUI;

class CContainerUI : public CControlUI {
public:
    CContainerUI();
    ~CContainerUI() override;

    std::string_view TypeName() const override;
    void* AsInterface(std::string_view name) override;
    void Attach(CUIManager* manager, CControlUI* parent, bool init = true) override;

    int Count() const { return static_cast<int>(items_.size()); }
    CControlUI* ItemAt(int index) const;
    int ItemIndex(const CControlUI* control) const;
    // Takes ownership; false (the caller keeps the control) when refused.
    virtual bool Add(CControlUI* control);
    virtual bool AddAt(CControlUI* control, int index);
    // Removes and deletes the control (later, when a manager may still be
    // delivering to it). keep: hand it back to the caller instead.
    virtual bool Remove(CControlUI* control, bool keep = false);
    virtual void RemoveAll();

    const UIRect& Inset() const { return inset_; }
    void PutInset(const UIRect& inset);
    int ChildPadding() const { return childPadding_; }
    void PutChildPadding(int padding);
    bool MouseChildEnabled() const { return mouseChildEnabled_; }

    // The area inside the inset and the visible scroll bars.
    UIRect InnerRect() const;
    UISize ScrollPos() const;
    UISize ScrollRange() const;
    void PutScrollPos(UISize pos);
    void LineUp();
    void LineDown();
    void LineLeft();
    void LineRight();
    // Creates or drops a scroll bar; a new one takes the window's
    // "VScrollBar" / "HScrollBar" default attribute list.
    void EnableScrollBar(bool vertical, bool horizontal);
    CScrollBarUI* VerticalScrollBar() const { return vScroll_.get(); }
    CScrollBarUI* HorizontalScrollBar() const { return hScroll_.get(); }

    CControlUI* Locate(const FindQuery& query) override;
    void OnEvent(ControlEvent& event) override;
    void ApplyAttr(std::string_view name, std::string_view value) override;
    void Render(cairo_t* cr, const UIRect& paint) override;
    void PutVisible(bool visible) override;

protected:
    // Shows, hides and sizes the scroll bars for content of the required
    // size inside inner; re-places the container once when a bar appears or
    // disappears.
    void ProcessScrollBar(const UIRect& inner, int requiredWidth, int requiredHeight);
    void RenderChildren(cairo_t* cr, const UIRect& paint);

    std::vector<CControlUI*> items_;
    UIRect inset_;
    int childPadding_ = 0;
    bool mouseChildEnabled_ = true;
    int scrollStepSize_ = 0;
    std::unique_ptr<CScrollBarUI> vScroll_;
    std::unique_ptr<CScrollBarUI> hScroll_;

private:
    void UpdateScrollBar(CScrollBarUI& bar, int required, int available, bool& changed);
    bool replacing_ = false;
};

}  // namespace ZembraUI
