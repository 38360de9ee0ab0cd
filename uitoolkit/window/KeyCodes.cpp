#include "uitoolkit/window/KeyCodes.h"

#include <SDL2/SDL_keycode.h>

namespace ZembraUI::VirtualKey {

unsigned FromSdlKey(int sdlKey) {
    if (sdlKey >= SDLK_a && sdlKey <= SDLK_z) return unsigned('A' + (sdlKey - SDLK_a));
    if (sdlKey >= SDLK_0 && sdlKey <= SDLK_9) return unsigned(sdlKey);
    if (sdlKey >= SDLK_F1 && sdlKey <= SDLK_F12) return kF1 + unsigned(sdlKey - SDLK_F1);
    switch (sdlKey) {
        case SDLK_BACKSPACE: return kBack;
        case SDLK_TAB: return kTab;
        case SDLK_RETURN:
        case SDLK_KP_ENTER: return kReturn;
        case SDLK_LSHIFT:
        case SDLK_RSHIFT: return kShift;
        case SDLK_LCTRL:
        case SDLK_RCTRL: return kControl;
        case SDLK_LALT:
        case SDLK_RALT: return kMenu;
        case SDLK_ESCAPE: return kEscape;
        case SDLK_SPACE: return kSpace;
        case SDLK_PAGEUP: return kPrior;
        case SDLK_PAGEDOWN: return kNext;
        case SDLK_END: return kEnd;
        case SDLK_HOME: return kHome;
        case SDLK_LEFT: return kLeft;
        case SDLK_UP: return kUp;
        case SDLK_RIGHT: return kRight;
        case SDLK_DOWN: return kDown;
        case SDLK_INSERT: return kInsert;
        case SDLK_DELETE: return kDelete;
        default: return 0;
    }
}

}  // namespace ZembraUI::VirtualKey
