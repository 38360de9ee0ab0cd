#include "uitoolkit/window/CursorSet.h"

#include <SDL2/SDL_mouse.h>

namespace ZembraUI {
namespace {

SDL_SystemCursor SystemCursorOf(CursorShape shape) {
    switch (shape) {
        case CursorShape::Hand: return SDL_SYSTEM_CURSOR_HAND;
        case CursorShape::IBeam: return SDL_SYSTEM_CURSOR_IBEAM;
        case CursorShape::SizeWE: return SDL_SYSTEM_CURSOR_SIZEWE;
        case CursorShape::SizeNS: return SDL_SYSTEM_CURSOR_SIZENS;
        case CursorShape::SizeNWSE: return SDL_SYSTEM_CURSOR_SIZENWSE;
        case CursorShape::SizeNESW: return SDL_SYSTEM_CURSOR_SIZENESW;
        default: return SDL_SYSTEM_CURSOR_ARROW;
    }
}

}  // namespace

CCursorSet::~CCursorSet() {
    for (SDL_Cursor* cursor : cursors_) {
        if (cursor != nullptr) SDL_FreeCursor(cursor);
    }
}

void CCursorSet::Show(CursorShape shape) {
    if (shape == shown_ || shape == CursorShape::kCount) return;
    SDL_Cursor*& cursor = cursors_[std::size_t(shape)];
    if (cursor == nullptr) cursor = SDL_CreateSystemCursor(SystemCursorOf(shape));
    if (cursor == nullptr) return;
    SDL_SetCursor(cursor);
    shown_ = shape;
}

}  // namespace ZembraUI
