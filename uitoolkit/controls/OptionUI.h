#pragma once
// A button with a selected state. In a group (the window keeps the group
// lists) selecting one clears the others and a click always selects; without
// a group a click toggles. Changes send "selectchanged".
#include <string>

#include "uitoolkit/controls/ButtonUI.h"

namespace ZembraUI {

class COptionUI : public CButtonUI {
public:
    ~COptionUI() override;

    std::string_view TypeName() const override;
    void* AsInterface(std::string_view name) override;
    void Attach(CUIManager* manager, CControlUI* parent, bool init = true) override;
    bool Fire() override;

    const std::string& Group() const { return group_; }
    void PutGroup(const std::string& group);
    bool Selected() const { return (state_ & ButtonState::kSelected) != 0; }
    void Select(bool selected);

    void ApplyAttr(std::string_view name, std::string_view value) override;
    void RenderStateImages(cairo_t* cr, const UIRect& paint) override;

protected:
    std::uint32_t CurrentTextColor() const override;

private:
    std::string group_;
    // Entered in the manager's group list (only once attached for good).
    bool inGroup_ = false;
    std::string selectedImage_;
    std::string selectedHotImage_;
    std::string selectedPushedImage_;
    std::string selectedForeImage_;
    std::uint32_t selectedBkColor_ = 0;
    std::uint32_t selectedTextColor_ = 0;
};

}  // namespace ZembraUI
