#pragma once
// The messages a window routes. Input arrives with lParam pointing to the
// UIMessage built from it (valid during the call only); posted messages
// carry plain values. Applications number their own from kMsgUser on.
#include <cstdint>

namespace ZembraUI::WindowMessage {

constexpr unsigned kCreate = 0x0001;
constexpr unsigned kDestroy = 0x0002;
constexpr unsigned kSize = 0x0005;          // wParam width, lParam height
constexpr unsigned kSetFocus = 0x0007;
constexpr unsigned kKillFocus = 0x0008;
constexpr unsigned kClose = 0x0010;         // wParam: the close code
constexpr unsigned kGetMinMaxInfo = 0x0024; // lParam: MinMaxInfo*
constexpr unsigned kNcHitTest = 0x0084;     // wParam x, lParam y (client); answers a HitCode
constexpr unsigned kKeyDown = 0x0100;
constexpr unsigned kChar = 0x0102;
constexpr unsigned kSysCommand = 0x0112;    // wParam: a SysCommand
constexpr unsigned kTimer = 0x0113;         // wParam: the window's timer id
constexpr unsigned kMouseMove = 0x0200;
constexpr unsigned kLButtonDown = 0x0201;
constexpr unsigned kLButtonUp = 0x0202;
constexpr unsigned kMouseWheel = 0x020A;
constexpr unsigned kMouseHover = 0x02A1;
constexpr unsigned kDeleteScheduled = 0x8001;
constexpr unsigned kFocusCheck = 0x8002;  // where did the focus go (after a focus loss)
constexpr unsigned kUser = 0x0400;

// Other input (leave, right button, double click, key up) reaches the manager only.
constexpr unsigned kOtherInput = 0x03FF;

}  // namespace ZembraUI::WindowMessage

namespace ZembraUI::SysCommand {
constexpr unsigned kMinimize = 0xF020;
constexpr unsigned kMaximize = 0xF030;
constexpr unsigned kClose = 0xF060;
constexpr unsigned kRestore = 0xF120;
}  // namespace ZembraUI::SysCommand

namespace ZembraUI::HitCode {
constexpr int kClient = 1;
constexpr int kCaption = 2;
constexpr int kLeft = 10;
constexpr int kRight = 11;
constexpr int kTop = 12;
constexpr int kTopLeft = 13;
constexpr int kTopRight = 14;
constexpr int kBottom = 15;
constexpr int kBottomLeft = 16;
constexpr int kBottomRight = 17;
}  // namespace ZembraUI::HitCode

namespace ZembraUI::WindowStyle {
constexpr std::uint32_t kCaption = 0x00C00000;
constexpr std::uint32_t kClipChildren = 0x02000000;
constexpr std::uint32_t kClipSiblings = 0x04000000;
constexpr std::uint32_t kExLayered = 0x00080000;  // extended style: per-pixel alpha
constexpr unsigned kClassDoubleClicks = 0x0008;
}  // namespace ZembraUI::WindowStyle
