#pragma once
// The attributes of a layout's root Window element: sizes, caption and
// resize bands, opacity, window-wide colours and the drop-shadow settings.
// The manager keeps them; the window host reads them.
#include <cstdint>
#include <string>
#include <string_view>

#include "uitoolkit/Geometry.h"

namespace ZembraUI {

struct ShadowSettings {
    bool shown = false;
    bool pictureMode = false;
    int darkness = 150;   // 0..255
    int sharpness = 5;    // 0..20
    int size = 0;         // -20..20
    UIPoint offset;       // each -20..20
    std::uint32_t colour = 0;
    std::string image;
    UIRect corner;        // each >= 0
};

struct WindowAttributes {
    UISize initSize;
    UIRect sizeBox;
    UIRect caption;
    UISize roundCorner;
    UISize minInfo;
    UISize maxInfo;
    int opacity = 255;
    bool layered = false;       // "bktrans": per-pixel alpha
    bool constantAlpha = false; // "alpha" within 0..255
    bool gdiplusText = false;
    std::uint32_t disabledTextColor = 0xFFA7A6AA;
    std::uint32_t defaultTextColor = 0xFF000001;
    std::uint32_t linkTextColor = 0xFF0000FF;
    std::uint32_t linkHoverTextColor = 0xFFD3215F;
    std::uint32_t selectedBkColor = 0xFFBAE4FF;
    ShadowSettings shadow;
};

// Applies one attribute; false for a name that is no window attribute.
// Shadow values outside their range are refused and change nothing.
bool ApplyWindowAttribute(WindowAttributes& window, std::string_view name, std::string_view value);

}  // namespace ZembraUI
