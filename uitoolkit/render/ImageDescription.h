#pragma once
// Image description strings, the value of every "...image" attribute: either
// a bare picture name, or key='value' pairs (file, res, restype, dest, source,
// corner, mask, fade, hole, xtiled, ytiled) separated by single spaces.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "uitoolkit/Geometry.h"

namespace ZembraUI {

struct ImageDescription {
    std::string file;     // picture name, from a bare name, file='' or res=''
    std::string resType;  // restype=''
    // Where to draw, in the same coordinates as the control rectangle; dest=''
    // is relative to the control's top-left corner and its right and bottom
    // are clipped to the control. Default: the whole control.
    UIRect dest;
    std::optional<UIRect> source;  // pixels of the picture; none = all of it
    UIRect corner;                 // borders kept unscaled (nine-grid)
    std::uint32_t mask = 0;        // AARRGGBB made transparent at load
    int fade = 255;                // opacity 0..255
    bool hole = false;             // leave the centre cell undrawn
    bool xTiled = false;
    bool yTiled = false;
};

// Parses a control's image string and then its modifier (parsed after it, so
// its keys override). A second "file" key starts a new image, the earlier one
// being complete; entries without a picture name are dropped.
std::vector<ImageDescription> ParseImageDescription(std::string_view image, std::string_view modifier,
                                                    const UIRect& control);

}  // namespace ZembraUI
