#include "uitoolkit/manager/WindowAttributes.h"


#include "uitoolkit/markup/ColorValue.h"
#include "uitoolkit/markup/NumberList.h"

namespace ZembraUI {
namespace {

int ReadInt(std::string_view value) { return ParseNumberList(value, 1)[0]; }

bool InRange(int value, int low, int high) { return value >= low && value <= high; }

bool ApplyShadowAttribute(ShadowSettings& shadow, std::string_view name, std::string_view value) {
    if (name == "showshadow") {
        shadow.shown = value == "true";
    } else if (name == "shadowsize") {
        if (const int size = ReadInt(value); InRange(size, -20, 20)) shadow.size = size;
    } else if (name == "shadowsharpness") {
        if (const int sharpness = ReadInt(value); InRange(sharpness, 0, 20)) shadow.sharpness = sharpness;
    } else if (name == "shadowdarkness") {
        if (const int darkness = ReadInt(value); InRange(darkness, 0, 255)) shadow.darkness = darkness;
    } else if (name == "shadowposition") {
        const UIPoint offset = ParsePointValue(value);
        if (InRange(offset.x, -20, 20) && InRange(offset.y, -20, 20)) shadow.offset = offset;
    } else if (name == "shadowcolor") {
        shadow.colour = ParseColorValue(value);
    } else if (name == "shadowcorner") {
        const UIRect corner = ParseRectValue(value);
        if (corner.left >= 0 && corner.top >= 0 && corner.right >= 0 && corner.bottom >= 0) shadow.corner = corner;
    } else if (name == "shadowimage") {
        shadow.image = std::string(value);
        shadow.pictureMode = true;
    } else {
        return false;
    }
    return true;
}

}  // namespace

bool ApplyWindowAttribute(WindowAttributes& window, std::string_view name, std::string_view value) {
    if (name == "size") {
        window.initSize = ParseSizeValue(value);
    } else if (name == "sizebox") {
        window.sizeBox = ParseRectValue(value);
    } else if (name == "caption") {
        window.caption = ParseRectValue(value);
    } else if (name == "roundcorner") {
        window.roundCorner = ParseSizeValue(value);
    } else if (name == "mininfo") {
        window.minInfo = ParseSizeValue(value);
    } else if (name == "maxinfo") {
        window.maxInfo = ParseSizeValue(value);
    } else if (name == "alpha") {
        const int alpha = ReadInt(value);
        window.constantAlpha = InRange(alpha, 0, 255);
        if (window.constantAlpha) window.opacity = alpha;
    } else if (name == "bktrans") {
        window.layered = value == "true";
    } else if (name == "disabledfontcolor") {
        window.disabledTextColor = ParseColorValue(value);
    } else if (name == "defaultfontcolor") {
        window.defaultTextColor = ParseColorValue(value);
    } else if (name == "linkfontcolor") {
        window.linkTextColor = ParseColorValue(value);
    } else if (name == "linkhoverfontcolor") {
        window.linkHoverTextColor = ParseColorValue(value);
    } else if (name == "selectedcolor") {
        window.selectedBkColor = ParseColorValue(value);
    } else if (name == "gdiplustext") {
        window.gdiplusText = value == "true";
    } else {
        return ApplyShadowAttribute(window.shadow, name, value);
    }
    return true;
}

}  // namespace ZembraUI
