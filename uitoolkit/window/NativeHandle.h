#pragma once
// The X11 window behind an SDL window, for the requests SDL does not offer
// (shapes). Kept apart because the X11 headers define names such as None.
struct SDL_Window;

namespace ZembraUI {

// 0 when the window is not an X11 window.
unsigned long X11WindowOf(SDL_Window* window);

}  // namespace ZembraUI
