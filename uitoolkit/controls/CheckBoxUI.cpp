#include "uitoolkit/controls/CheckBoxUI.h"

namespace ZembraUI {

std::string_view CCheckBoxUI::TypeName() const { return "CheckBoxUI"; }

void* CCheckBoxUI::AsInterface(std::string_view name) {
    if (name == "CheckBox") return this;
    return COptionUI::AsInterface(name);
}

}  // namespace ZembraUI
