#pragma once
// Plain geometry values shared by markup values, images and controls.
#include <algorithm>

namespace ZembraUI {

struct UIPoint {
    int x = 0;
    int y = 0;
    bool operator==(const UIPoint&) const = default;
};

struct UISize {
    int cx = 0;
    int cy = 0;
    bool operator==(const UISize&) const = default;
};

// Edges in pixels; right and bottom are exclusive.
struct UIRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    bool operator==(const UIRect&) const = default;
};

// The common part of two rectangles; empty ones come back with no area.
inline UIRect IntersectRects(const UIRect& a, const UIRect& b) {
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
}

// The smallest rectangle holding both; an empty rectangle adds nothing.
inline UIRect UnionRects(const UIRect& a, const UIRect& b) {
    if (a.IsEmpty()) return b;
    if (b.IsEmpty()) return a;
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom)};
}

}  // namespace ZembraUI
