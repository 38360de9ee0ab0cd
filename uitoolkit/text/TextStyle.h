#pragma once
// Text style bits used by labels, texts, buttons and the text renderer. The
// values are the draw-text flags the skins' behaviour is described with, so
// combinations read the same everywhere.
namespace ZembraUI::TextStyle {

constexpr unsigned kLeft = 0x0000;
constexpr unsigned kCenter = 0x0001;
constexpr unsigned kRight = 0x0002;
constexpr unsigned kTop = 0x0000;
constexpr unsigned kVCenter = 0x0004;
constexpr unsigned kBottom = 0x0008;
constexpr unsigned kWordBreak = 0x0010;
constexpr unsigned kSingleLine = 0x0020;
constexpr unsigned kNoClip = 0x0100;
constexpr unsigned kCalcRect = 0x0400;
constexpr unsigned kNoPrefix = 0x0800;
constexpr unsigned kEndEllipsis = 0x8000;

}  // namespace ZembraUI::TextStyle
