#pragma once
// A check box: an option under its own class name (usually without a group,
// so a click toggles it).
#include "uitoolkit/controls/OptionUI.h"

namespace ZembraUI {

class CCheckBoxUI : public COptionUI {
public:
    std::string_view TypeName() const override;
    void* AsInterface(std::string_view name) override;
    bool Checked() const { return Selected(); }
    void PutCheck(bool checked) { Select(checked); }
};

}  // namespace ZembraUI
