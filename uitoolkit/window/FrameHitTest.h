#pragma once
// What a point of a frameless window is: a resize border, the caption band
// that drags the window, or client area.
#include "uitoolkit/Geometry.h"

namespace ZembraUI {

enum class FrameArea {
    Client,
    Caption,
    Left,
    Right,
    Top,
    TopLeft,
    TopRight,
    Bottom,
    BottomLeft,
    BottomRight,
};

// sizeBox holds the widths of the resize borders (none while maximised).
// caption's left and right are margins from the window's sides, its top and
// bottom distances from the top edge. A point in the caption band answers
// Caption; the caller decides whether a control under it keeps it clickable.
FrameArea HitTestFrame(const UIPoint& point, const UISize& size, const UIRect& sizeBox, const UIRect& caption,
                       bool maximized);

}  // namespace ZembraUI
