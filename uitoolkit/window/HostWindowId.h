#pragma once
// How other threads name a window: a number given at creation and never
// used again, so a message for a window that is gone cannot reach another.
#include <cstdint>

namespace ZembraUI {

using HostWindowId = std::uint32_t;
constexpr HostWindowId kNoHostWindow = 0;

}  // namespace ZembraUI
