#pragma once
// A progress bar: the fore image is cropped to the filled part (or
// stretched into it with "isstretchfore"), horizontally from the left or
// vertically from the bottom.
#include <string>

#include "uitoolkit/controls/LabelUI.h"

namespace ZembraUI {

class CProgressUI : public CLabelUI {
public:
    std::string_view TypeName() const override;
    void* AsInterface(std::string_view name) override;

    bool Horizontal() const { return horizontal_; }
    int MinValue() const { return min_; }
    int MaxValue() const { return max_; }
    int Value() const { return value_; }
    void PutMinValue(int min);
    void PutMaxValue(int max);
    // Clamped into min..max.
    void PutValue(int value);
    // The modifier that crops the fore image to the filled part, relative to
    // the control ("" when nothing is filled).
    std::string FillModifier() const;

    void ApplyAttr(std::string_view name, std::string_view value) override;
    void RenderStateImages(cairo_t* cr, const UIRect& paint) override;

private:
    void Normalise();

    bool horizontal_ = true;
    bool stretchFore_ = false;
    int min_ = 0;
    int max_ = 100;
    int value_ = 0;
    std::string foreImage_;
};

}  // namespace ZembraUI
