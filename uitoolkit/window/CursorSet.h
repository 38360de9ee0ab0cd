#pragma once
// The pointer shapes the toolkit shows, made once per loop.
#include <array>

struct SDL_Cursor;

namespace ZembraUI {

enum class CursorShape { Arrow, Hand, IBeam, SizeWE, SizeNS, SizeNWSE, SizeNESW, kCount };

class CCursorSet {
public:
    CCursorSet() = default;
    ~CCursorSet();
    CCursorSet(const CCursorSet&) = delete;
    CCursorSet& operator=(const CCursorSet&) = delete;

    // Shows shape for the pointer (over whichever window has it).
    void Show(CursorShape shape);

private:
    std::array<SDL_Cursor*, std::size_t(CursorShape::kCount)> cursors_{};
    CursorShape shown_ = CursorShape::Arrow;
};

}  // namespace ZembraUI
