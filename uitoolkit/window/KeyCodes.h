#pragma once
// Keys as the toolkit names them: the system's virtual-key codes (letters and
// digits are their upper-case ASCII codes), so that key handling reads the
// same as the behaviour it implements.
namespace ZembraUI::VirtualKey {

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

// The code of an SDL key symbol; 0 for keys the toolkit does not use.
unsigned FromSdlKey(int sdlKey);

}  // namespace ZembraUI::VirtualKey
