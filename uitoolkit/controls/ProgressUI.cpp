#include "uitoolkit/controls/ProgressUI.h"

#include <cstdint>

#include "uitoolkit/RectMath.h"
#include "uitoolkit/markup/NumberList.h"

namespace ZembraUI {

std::string_view CProgressUI::TypeName() const { return "ProgressUI"; }

void* CProgressUI::AsInterface(std::string_view name) {
    if (name == "Progress") return this;
    return CLabelUI::AsInterface(name);
}

void CProgressUI::Normalise() {
    if (max_ <= min_) max_ = min_ + 1;
    value_ = Clamp(value_, min_, max_);
}

void CProgressUI::PutMinValue(int min) {
    min_ = min;
    Normalise();
    Invalidate();
}

void CProgressUI::PutMaxValue(int max) {
    max_ = max;
    Normalise();
    Invalidate();
}

void CProgressUI::PutValue(int value) {
    const int old = value_;
    value_ = value;
    Normalise();
    if (value_ != old) Invalidate();
}

std::string CProgressUI::FillModifier() const {
    const std::int64_t span = std::int64_t{max_} - min_;
    std::string pair;
    if (horizontal_) {
        const auto filled = static_cast<int>(pos_.Width() * (std::int64_t{value_} - min_) / span);
        pair = "0,0," + std::to_string(filled) + "," + std::to_string(pos_.Height());
    } else {
        const auto empty = static_cast<int>(pos_.Height() * (std::int64_t{max_} - value_) / span);
        pair = "0," + std::to_string(empty) + "," + std::to_string(pos_.Width()) + "," +
               std::to_string(pos_.Height());
    }
    if (stretchFore_) return "dest='" + pair + "'";
    return "dest='" + pair + "' source='" + pair + "'";
}

void CProgressUI::ApplyAttr(std::string_view name, std::string_view value) {
    const int number = ParseNumberList(value, 1)[0];
    if (name == "hor") {
        horizontal_ = IsTrue(value);
    } else if (name == "min") {
        PutMinValue(number);
    } else if (name == "max") {
        PutMaxValue(number);
    } else if (name == "value") {
        PutValue(number);
    } else if (name == "foreimage") {
        foreImage_ = std::string(value);
    } else if (name == "isstretchfore") {
        stretchFore_ = IsTrue(value);
    } else {
        CLabelUI::ApplyAttr(name, value);
        return;
    }
    Invalidate();
}

void CProgressUI::RenderStateImages(cairo_t* cr, const UIRect& paint) {
    if (foreImage_.empty() || value_ == min_) return;
    DrawImage(cr, paint, foreImage_, FillModifier());
}

}  // namespace ZembraUI
