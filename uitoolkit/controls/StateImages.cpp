#include "uitoolkit/controls/StateImages.h"

namespace ZembraUI {

bool StateImages::Apply(std::string_view name, std::string_view value) {
    std::string* slot = name == "normalimage"     ? &normal
                        : name == "hotimage"      ? &hot
                        : name == "pushedimage"   ? &pushed
                        : name == "focusedimage"  ? &focused
                        : name == "disabledimage" ? &disabled
                                                  : nullptr;
    if (slot == nullptr) return false;
    *slot = std::string(value);
    return true;
}

}  // namespace ZembraUI
