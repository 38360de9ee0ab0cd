#include "uitoolkit/window/PlainMessageBox.h"

#include <SDL2/SDL.h>
#include <easylogging++.h>

namespace ZembraUI {

bool ShowPlainMessageBox(const std::string& caption, const std::string& text) {
    if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, caption.c_str(), text.c_str(), nullptr) != 0) {
        LOG(INFO) << " Message box not shown: " << SDL_GetError();
        return false;
    }
    return true;
}

}  // namespace ZembraUI
