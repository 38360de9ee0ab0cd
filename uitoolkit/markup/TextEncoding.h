#pragma once
// UTF-8 helpers for the markup layer: decoding UTF-16 input and cutting
// texts at a number of characters (code points).
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace ZembraUI {

// UTF-16 bytes (no byte order mark) to UTF-8. A trailing odd byte is dropped;
// unpaired surrogates become U+FFFD.
std::vector<unsigned char> Utf16ToUtf8(const unsigned char* data, std::size_t size, bool bigEndian);

// Number of code points (bytes that are not UTF-8 continuation bytes).
std::size_t CodePointCount(std::string_view text);

// The longest prefix of at most maxCodePoints code points, never cutting a
// character in half.
std::string Utf8Prefix(std::string_view text, std::size_t maxCodePoints);

}  // namespace ZembraUI
