#pragma once
// Skin units and device pixels. Layouts, controls and input work in skin
// units; a window on a scaled desktop shows them at scale device pixels
// each. Rectangles grow outwards when converted, so nothing is lost at the
// edges of a fractional scale.
#include <cmath>

#include "uitoolkit/Geometry.h"

namespace ZembraUI {

inline int ScaleDown(double value) { return static_cast<int>(std::floor(value)); }
inline int ScaleUp(double value) { return static_cast<int>(std::ceil(value)); }

inline UIRect ToDevice(const UIRect& rect, double scale) {
    return {ScaleDown(rect.left * scale), ScaleDown(rect.top * scale), ScaleUp(rect.right * scale),
            ScaleUp(rect.bottom * scale)};
}

inline UIRect ToSkin(const UIRect& rect, double scale) {
    return {ScaleDown(rect.left / scale), ScaleDown(rect.top / scale), ScaleUp(rect.right / scale),
            ScaleUp(rect.bottom / scale)};
}

inline UIPoint ToSkin(const UIPoint& point, double scale) {
    return {ScaleDown(point.x / scale), ScaleDown(point.y / scale)};
}

inline UISize ToDevice(const UISize& size, double scale) {
    return {static_cast<int>(std::lround(size.cx * scale)), static_cast<int>(std::lround(size.cy * scale))};
}

inline UISize ToSkin(const UISize& size, double scale) {
    return {static_cast<int>(std::lround(size.cx / scale)), static_cast<int>(std::lround(size.cy / scale))};
}

}  // namespace ZembraUI
