#pragma once
// Attribute values made of several integers ("width,height", "l,t,r,b").
#include <cstddef>
#include <string_view>
#include <vector>

#include "uitoolkit/Geometry.h"

namespace ZembraUI {

// Reads count integers one after another: each is read like strtol (base 10,
// leading blanks, optional sign, clamped to the 32-bit range, no digits = 0
// without moving on), then exactly one separator character is skipped.
// Values past the end of the text are 0. Always returns count values.
std::vector<int> ParseNumberList(std::string_view text, std::size_t count);

UISize ParseSizeValue(std::string_view text);    // "cx,cy"
UIPoint ParsePointValue(std::string_view text);  // "x,y"
UIRect ParseRectValue(std::string_view text);    // "left,top,right,bottom"

}  // namespace ZembraUI
