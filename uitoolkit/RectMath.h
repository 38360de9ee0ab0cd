#pragma once
// Small rectangle helpers shared by layout, painting and hit-testing.
#include <algorithm>

#include "uitoolkit/Geometry.h"

namespace ZembraUI {

inline UIRect Intersect(const UIRect& a, const UIRect& b) {
    UIRect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
             std::min(a.bottom, b.bottom)};
    if (r.IsEmpty()) return {};
    return r;
}

inline bool Contains(const UIRect& rect, const UIPoint& point) {
    return point.x >= rect.left && point.x < rect.right && point.y >= rect.top && point.y < rect.bottom;
}

inline UIRect Deflate(const UIRect& rect, const UIRect& by) {
    return {rect.left + by.left, rect.top + by.top, rect.right - by.right, rect.bottom - by.bottom};
}

inline UIRect Union(const UIRect& a, const UIRect& b) {
    if (a.IsEmpty()) return b;
    if (b.IsEmpty()) return a;
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom)};
}

inline int Clamp(int value, int low, int high) { return std::max(low, std::min(value, high)); }

}  // namespace ZembraUI
