#pragma once
// Children stacked horizontally (see CBoxLayoutUI).
#include "uitoolkit/controls/BoxLayoutUI.h"

namespace ZembraUI {

class CHorizontalLayoutUI : public CBoxLayoutUI {
public:
    CHorizontalLayoutUI();
    std::string_view TypeName() const override;
    void* AsInterface(std::string_view name) override;
};

}  // namespace ZembraUI
