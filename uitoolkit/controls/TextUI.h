#pragma once
// Multi-line text, word-wrapped, with up to 8 links: the pointer turns into
// a hand over a link, a hovered link is drawn in the hover colour, and a
// click on one sends "link" with its index.
#include <vector>

#include "uitoolkit/controls/LabelUI.h"

namespace ZembraUI {

class CTextUI : public CLabelUI {
public:
    static constexpr std::size_t kMaxLinks = 8;

    CTextUI();

    std::string_view TypeName() const override;
    void* AsInterface(std::string_view name) override;
    unsigned Flags() const override;

    const std::vector<RichTextLink>& Links() const { return links_; }
    // The link under the point, or -1.
    int LinkAt(const UIPoint& point) const;

    void PutText(const std::string& text) override;
    UISize Measure(UISize available) override;
    void OnEvent(ControlEvent& event) override;
    void RenderText(cairo_t* cr, const UIRect& paint) override;

private:
    std::vector<RichTextLink> links_;
    int hoverLink_ = -1;
};

}  // namespace ZembraUI
