#pragma once
// Input and window messages as the host hands them to the manager: plain
// values, points in client coordinates, key codes of ControlEvent.h.
#include <cstdint>

#include "uitoolkit/Geometry.h"

namespace ZembraUI {

enum class UIMessageKind {
    MouseMove,
    MouseLeave,  // the pointer left the window
    MouseHover,  // the pointer rested (reported after IUIHost::TrackMouse)
    ButtonDown,
    ButtonUp,
    DoubleClick,
    RightButtonDown,
    ContextMenu,
    MouseWheel,
    KeyDown,
    KeyUp,
    Char,
    SysKeyDown,
    SysChar,
    SetCursor,
    Size,            // size = the new client size
    Close,
    Timer,           // timerId = the native id given to IUIHost::StartNativeTimer
    RestoreCommand,  // the window was restored from minimised or maximised
    DeleteScheduled, // answer to IUIHost::PostDeleteMessage
    Custom,          // application messages (customId, wParam, lParam)
};

struct UIMessage {
    UIMessageKind kind = UIMessageKind::Custom;
    UIPoint point;
    std::uint16_t keyState = 0;  // KeyState bits
    unsigned key = 0;            // KeyCode for key messages
    char32_t character = 0;      // Char and SysChar
    int wheelDelta = 0;          // negative: turned towards the user
    unsigned timerId = 0;
    UISize size;
    unsigned customId = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
};

}  // namespace ZembraUI
