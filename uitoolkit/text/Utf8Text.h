#pragma once
// Text handed to pango must be valid UTF-8 without NUL bytes: skins and
// language files are not trusted to be.
#include <string>
#include <string_view>

namespace ZembraUI {

// The text with every invalid byte sequence replaced by U+FFFD and every NUL
// byte removed; valid text comes back unchanged.
std::string ValidUtf8(std::string_view text);

}  // namespace ZembraUI
