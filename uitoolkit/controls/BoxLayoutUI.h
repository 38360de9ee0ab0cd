#pragma once
// The vertical and horizontal layouts share this one implementation: along
// the main axis, fixed children keep their size and the adjustable ones
// (desired size 0) share what is left; across it, every child fills the
// inner width (or height) unless its own size is fixed.
#include "uitoolkit/controls/ContainerUI.h"

namespace ZembraUI {

enum class Orientation { Vertical, Horizontal };

class CBoxLayoutUI : public CContainerUI {
public:
    explicit CBoxLayoutUI(Orientation orientation);

    Orientation Direction() const { return orientation_; }
    void Place(const UIRect& rect) override;

private:
    Orientation orientation_;
};

}  // namespace ZembraUI
