#pragma once
// Plain geometry values shared by markup values, images and controls.

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

}  // namespace ZembraUI
