#pragma once
// Keys as the toolkit names them: the system's virtual-key codes (letters and
// digits are their upper-case ASCII codes), shared with the controls' key
// events, and the mapping from SDL's key symbols.
#include "uitoolkit/controls/ControlEvent.h"

namespace ZembraUI::VirtualKey {

using namespace KeyCode;

// The code of an SDL key symbol; 0 for keys the toolkit does not use.
unsigned FromSdlKey(int sdlKey);

}  // namespace ZembraUI::VirtualKey
