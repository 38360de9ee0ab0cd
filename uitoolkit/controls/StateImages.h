#pragma once
// The per-state pictures of buttons, edits, combos and rich edits:
// "normalimage", "hotimage", "pushedimage", "focusedimage", "disabledimage".
#include <string>
#include <string_view>

namespace ZembraUI {

struct StateImages {
    std::string normal;
    std::string hot;
    std::string pushed;
    std::string focused;
    std::string disabled;

    // Stores one of the five attributes; false for other names.
    bool Apply(std::string_view name, std::string_view value);
};

}  // namespace ZembraUI
