#include "uitoolkit/controls/ListItemStyle.h"

#include "uitoolkit/markup/ColorValue.h"
#include "uitoolkit/markup/NumberList.h"

namespace ZembraUI {

using namespace TextStyle;

bool ListItemStyle::Apply(std::string_view name, std::string_view value) {
    if (!name.starts_with("item")) return false;
    const std::string_view key = name.substr(4);
    const std::string text(value);
    if (key == "font") {
        font = ParseNumberList(value, 1)[0];
    } else if (key == "align") {
        textStyle &= ~(kCenter | kRight);
        if (value.find("center") != std::string_view::npos) textStyle |= kCenter;
        if (value.find("right") != std::string_view::npos) textStyle |= kRight;
    } else if (key == "textpadding") {
        textPadding = ParseRectValue(value);
    } else if (key == "textcolor") {
        textColor = ParseColorValue(value);
    } else if (key == "bkcolor") {
        bkColor = ParseColorValue(value);
    } else if (key == "bkimage") {
        bkImage = text;
    } else if (key == "altbk") {
        alternateBk = value == "true";
    } else if (key == "selectedtextcolor") {
        selectedTextColor = ParseColorValue(value);
    } else if (key == "selectedbkcolor") {
        selectedBkColor = ParseColorValue(value);
    } else if (key == "selectedimage") {
        selectedImage = text;
    } else if (key == "hottextcolor") {
        hotTextColor = ParseColorValue(value);
    } else if (key == "hotbkcolor") {
        hotBkColor = ParseColorValue(value);
    } else if (key == "hotimage") {
        hotImage = text;
    } else if (key == "disabledtextcolor") {
        disabledTextColor = ParseColorValue(value);
    } else if (key == "disabledbkcolor") {
        disabledBkColor = ParseColorValue(value);
    } else if (key == "disabledimage") {
        disabledImage = text;
    } else if (key == "linecolor") {
        lineColor = ParseColorValue(value);
    } else if (key == "showhtml") {
        showHtml = value == "true";
    } else {
        return false;
    }
    return true;
}

}  // namespace ZembraUI
