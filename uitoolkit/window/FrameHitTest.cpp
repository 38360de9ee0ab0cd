#include "uitoolkit/window/FrameHitTest.h"

namespace ZembraUI {
namespace {

FrameArea BorderAt(const UIPoint& point, const UISize& size, const UIRect& sizeBox) {
    const bool left = point.x < sizeBox.left;
    const bool right = point.x > size.cx - sizeBox.right;
    if (point.y < sizeBox.top) {
        return left ? FrameArea::TopLeft : right ? FrameArea::TopRight : FrameArea::Top;
    }
    if (point.y > size.cy - sizeBox.bottom) {
        return left ? FrameArea::BottomLeft : right ? FrameArea::BottomRight : FrameArea::Bottom;
    }
    return left ? FrameArea::Left : right ? FrameArea::Right : FrameArea::Client;
}

}  // namespace

FrameArea HitTestFrame(const UIPoint& point, const UISize& size, const UIRect& sizeBox, const UIRect& caption,
                       bool maximized) {
    if (!maximized) {
        const FrameArea border = BorderAt(point, size, sizeBox);
        if (border != FrameArea::Client) return border;
    }
    const bool inBand = point.x >= caption.left && point.x < size.cx - caption.right && point.y >= caption.top &&
                        point.y < caption.bottom;
    return inBand ? FrameArea::Caption : FrameArea::Client;
}

}  // namespace ZembraUI
