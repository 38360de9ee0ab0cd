#pragma once
// A single line of plain or rich text ("showhtml") over the control's
// background, aligned by the text style.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "uitoolkit/controls/ControlUI.h"
#include "uitoolkit/text/TextRenderer.h"

namespace ZembraUI {

class CLabelUI : public CControlUI {
public:
    CLabelUI();

    std::string_view TypeName() const override;
    void* AsInterface(std::string_view name) override;

    unsigned TextStyleBits() const { return textStyle_; }
    int Font() const { return font_; }
    void PutFont(int index);
    std::uint32_t TextColor() const { return textColor_; }
    void PutTextColor(std::uint32_t colour);
    std::uint32_t DisabledTextColor() const { return disabledTextColor_; }
    const UIRect& TextPadding() const { return textPadding_; }
    void PutTextPadding(const UIRect& padding);
    bool ShowHtml() const { return showHtml_; }
    void PutShowHtml(bool showHtml);
    bool AutoCalcWidth() const { return autoCalcWidth_; }

    void PutText(const std::string& text) override;
    UISize Measure(UISize available) override;
    void ApplyAttr(std::string_view name, std::string_view value) override;
    void RenderText(cairo_t* cr, const UIRect& paint) override;

protected:
    // The colour text is drawn in now: the state's colour, else the window's
    // default (or disabled) text colour.
    virtual std::uint32_t CurrentTextColor() const;
    // Draws text into rect with the label's font and the given style;
    // links, when given, receives the rich text's links.
    void DrawTextIn(cairo_t* cr, const UIRect& rect, const std::string& text, std::uint32_t colour, unsigned style,
                    int hoverLink = -1, std::vector<RichTextLink>* links = nullptr, std::size_t maxLinks = 0);
    // The size the text needs in one line.
    UISize TextExtent(const std::string& text, unsigned style);

    unsigned textStyle_;
    int font_ = -1;
    std::uint32_t textColor_ = 0;
    std::uint32_t disabledTextColor_ = 0;
    UIRect textPadding_;
    bool showHtml_ = false;
    bool autoCalcWidth_ = false;
};

}  // namespace ZembraUI
