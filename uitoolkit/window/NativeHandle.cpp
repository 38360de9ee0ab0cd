#include "uitoolkit/window/NativeHandle.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>

namespace ZembraUI {

unsigned long X11WindowOf(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (window == nullptr || SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11) {
        return 0;
    }
    return info.info.x11.window;
}

}  // namespace ZembraUI
