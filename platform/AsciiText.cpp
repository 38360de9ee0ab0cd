#include "platform/AsciiText.h"

namespace platform {

namespace {

constexpr std::string_view kBlanks = " \t\r\n";

char LowerLetter(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
char UpperLetter(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

std::string AsciiLower(std::string_view text) {
    std::string folded(text);
    for (char& c : folded) c = LowerLetter(c);
    return folded;
}

std::string AsciiUpper(std::string_view text) {
    std::string folded(text);
    for (char& c : folded) c = UpperLetter(c);
    return folded;
}

std::string_view TrimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

std::string LowerHex(const unsigned char* bytes, std::size_t count) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(count * 2);
    for (std::size_t i = 0; i < count; ++i) {
        hex += kHex[bytes[i] >> 4];
        hex += kHex[bytes[i] & 15];
    }
    return hex;
}

}  // namespace platform
