#pragma once
// Case folding and trimming for protocol and file texts: ASCII letters only,
// whatever the process locale, so UTF-8 bytes pass through untouched.
#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

std::string AsciiLower(std::string_view text);
std::string AsciiUpper(std::string_view text);

// The text without leading and trailing blanks (spaces, tabs, CR, LF).
std::string_view TrimBlanks(std::string_view text);

// Bytes as lower-case hexadecimal text, two digits a byte (digests).
std::string LowerHex(const unsigned char* bytes, std::size_t count);

}  // namespace platform
