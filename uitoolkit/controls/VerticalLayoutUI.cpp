#include "uitoolkit/controls/VerticalLayoutUI.h"

namespace ZembraUI {

CVerticalLayoutUI::CVerticalLayoutUI() : CBoxLayoutUI(Orientation::Vertical) {}

std::string_view CVerticalLayoutUI::TypeName() const { return "VerticalLayoutUI"; }

void* CVerticalLayoutUI::AsInterface(std::string_view name) {
    if (name == "VerticalLayout") return this;
    return CBoxLayoutUI::AsInterface(name);
}

}  // namespace ZembraUI
