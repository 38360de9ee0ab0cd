#pragma once
// UTF-8 helpers for the text controls: counting, cutting and appending code
// points.
#include <cstddef>
#include <string>
#include <string_view>

namespace ZembraUI::Utf8 {

// Number of code points (continuation bytes are not counted).
std::size_t Length(std::string_view text);
// Byte offset of the code point at index (the end when past it).
std::size_t Offset(std::string_view text, std::size_t index);
void Append(std::string& text, char32_t codePoint);
// The first code point, or 0 for empty text.
char32_t First(std::string_view text);

}  // namespace ZembraUI::Utf8
