#pragma once
// How a combo draws its items: colours, images and text layout per item
// state, set by the combo's "item..." attributes.
#include <cstdint>
#include <string>
#include <string_view>

#include "uitoolkit/Geometry.h"
#include "uitoolkit/text/TextStyle.h"

namespace ZembraUI {

struct ListItemStyle {
    int font = -1;
    unsigned textStyle = TextStyle::kVCenter | TextStyle::kSingleLine;
    UIRect textPadding;
    std::uint32_t textColor = 0xFF000000;
    std::uint32_t bkColor = 0;
    std::string bkImage;
    bool alternateBk = false;
    std::uint32_t selectedTextColor = 0xFF000000;
    std::uint32_t selectedBkColor = 0xFFC1E3FF;
    std::string selectedImage;
    std::uint32_t hotTextColor = 0xFF000000;
    std::uint32_t hotBkColor = 0xFFE9F5FF;
    std::string hotImage;
    std::uint32_t disabledTextColor = 0xFFCCCCCC;
    std::uint32_t disabledBkColor = 0xFFFFFFFF;
    std::string disabledImage;
    std::uint32_t lineColor = 0;
    bool showHtml = false;

    // Applies one "item..." attribute; false for other names.
    bool Apply(std::string_view name, std::string_view value);
};

}  // namespace ZembraUI
