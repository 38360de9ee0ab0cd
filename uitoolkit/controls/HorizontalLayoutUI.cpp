#include "uitoolkit/controls/HorizontalLayoutUI.h"

namespace ZembraUI {

CHorizontalLayoutUI::CHorizontalLayoutUI() : CBoxLayoutUI(Orientation::Horizontal) {}

std::string_view CHorizontalLayoutUI::TypeName() const { return "HorizontalLayoutUI"; }

void* CHorizontalLayoutUI::AsInterface(std::string_view name) {
    if (name == "HorizontalLayout") return this;
    return CBoxLayoutUI::AsInterface(name);
}

}  // namespace ZembraUI
