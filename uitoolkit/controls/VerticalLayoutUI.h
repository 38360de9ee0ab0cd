#pragma once
// Children stacked vertically (see CBoxLayoutUI).
#include "uitoolkit/controls/BoxLayoutUI.h"

namespace ZembraUI {

class CVerticalLayoutUI : public CBoxLayoutUI {
public:
    CVerticalLayoutUI();
    std::string_view TypeName() const override;
    void* AsInterface(std::string_view name) override;
};

}  // namespace ZembraUI
