#pragma once
// The tooltip: a small popup below the control that shows its text wrapped
// at the control's tooltip width (300 px unless the control sets one).
#include <string>

#include "uitoolkit/window/HostWindow.h"

namespace ZembraUI {

class CTooltipWindow : public CHostWindow {
public:
    static constexpr int kPadding = 4;
    // Shows text with its top-left corner at the screen point.
    void ShowText(const std::string& text, int maxWidth, const UIPoint& screenPoint);
    void Hide();
    const std::string& Text() const { return text_; }
    int MaxWidth() const { return maxWidth_; }

protected:
    void OnPaint(CPaintSurface& surface, const std::vector<UIRect>& areas) override;

private:
    std::string text_;
    int maxWidth_ = 300;
};

}  // namespace ZembraUI
