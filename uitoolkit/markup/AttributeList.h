#pragma once
// Attribute list texts: name="value" pairs separated by exactly one space,
// as used by default attribute lists and scroll-bar styles.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ZembraUI {

using AttributeList = std::vector<std::pair<std::string, std::string>>;

// Pairs in text order. Reading stops at the first pair that breaks the form
// (no "=", a blank or quote in the name, value not in double quotes, anything
// but one space before the next pair); the pairs read until then are kept.
AttributeList ParseAttributeList(std::string_view text);

}  // namespace ZembraUI
