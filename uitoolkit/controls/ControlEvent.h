#pragma once
// What a control receives in OnEvent: the manager turns the host's input into
// these and addresses them to one control.
#include <cstdint>

#include "uitoolkit/Geometry.h"

namespace ZembraUI {

class CControlUI;

enum EventKind : int {
    kEventKeyDown = 3,
    kEventKeyUp = 4,
    kEventChar = 5,
    kEventSysKey = 6,
    kEventMouseMove = 9,
    kEventMouseLeave = 10,
    kEventMouseEnter = 11,
    kEventMouseHover = 12,
    kEventButtonDown = 13,
    kEventButtonUp = 14,
    kEventRightButtonDown = 15,
    kEventDoubleClick = 16,
    kEventContextMenu = 17,
    kEventScrollWheel = 18,
    kEventKillFocus = 20,
    kEventSetFocus = 21,
    kEventWindowSize = 22,
    kEventSetCursor = 23,
    kEventTimer = 24,
};

// Mouse kinds are exactly this range; a control that is not mouse-enabled
// hands them to its parent.
constexpr bool IsMouseEvent(int kind) { return kind >= kEventMouseMove && kind <= kEventScrollWheel; }

namespace KeyState {
constexpr std::uint16_t kLeftButton = 0x01;
constexpr std::uint16_t kRightButton = 0x02;
constexpr std::uint16_t kShift = 0x04;
constexpr std::uint16_t kControl = 0x08;
constexpr std::uint16_t kAlt = 0x20;
}  // namespace KeyState

// Key codes of key-down and key-up events; the host maps its own key symbols
// to these.
namespace KeyCode {
constexpr unsigned kBack = 0x08;
constexpr unsigned kTab = 0x09;
constexpr unsigned kReturn = 0x0D;
constexpr unsigned kShift = 0x10;
constexpr unsigned kControl = 0x11;
constexpr unsigned kMenu = 0x12;  // Alt
constexpr unsigned kEscape = 0x1B;
constexpr unsigned kSpace = 0x20;
constexpr unsigned kPrior = 0x21;
constexpr unsigned kNext = 0x22;
constexpr unsigned kEnd = 0x23;
constexpr unsigned kHome = 0x24;
constexpr unsigned kLeft = 0x25;
constexpr unsigned kUp = 0x26;
constexpr unsigned kRight = 0x27;
constexpr unsigned kDown = 0x28;
constexpr unsigned kInsert = 0x2D;
constexpr unsigned kDelete = 0x2E;
constexpr unsigned kF1 = 0x70;
constexpr unsigned kF4 = 0x73;
}  // namespace KeyCode

struct ControlEvent {
    int kind = 0;
    CControlUI* sender = nullptr;
    std::uint32_t timestamp = 0;
    UIPoint mouse;
    // A whole code point: text input on this platform is UTF-8.
    char32_t character = 0;
    std::uint16_t keyState = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
};

}  // namespace ZembraUI
