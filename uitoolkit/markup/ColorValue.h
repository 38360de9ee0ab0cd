#pragma once
// Colour attribute values: an optional "#" and hexadecimal AARRGGBB.
#include <cstdint>
#include <string_view>

namespace ZembraUI {

// Reads like a 32-bit strtoul in base 16 after an optional leading "#":
// "#333333" is 0x00333333 (alpha 0), "#FF333333" is opaque, text that is not
// hexadecimal is 0, an overflowing value is 0xFFFFFFFF.
std::uint32_t ParseColorValue(std::string_view text);

}  // namespace ZembraUI
