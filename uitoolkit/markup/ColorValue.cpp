#include "uitoolkit/markup/ColorValue.h"

namespace ZembraUI {
namespace {

bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::uint32_t ParseColorValue(std::string_view text) {
    std::size_t pos = 0;
    if (!text.empty() && text[0] == '#') ++pos;
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    // strtoul accepts a "0x" prefix in base 16 only when a digit follows it.
    if (pos + 2 < text.size() && text[pos] == '0' && (text[pos + 1] == 'x' || text[pos + 1] == 'X') &&
        HexDigit(text[pos + 2]) >= 0) {
        pos += 2;
    }
    std::uint64_t value = 0;
    bool overflow = false;
    for (; pos < text.size() && HexDigit(text[pos]) >= 0; ++pos) {
        value = value * 16 + static_cast<std::uint64_t>(HexDigit(text[pos]));
        if (value > 0xFFFFFFFFu) {
            overflow = true;
            value = 0xFFFFFFFFu;
        }
    }
    if (overflow) return 0xFFFFFFFFu;
    const auto result = static_cast<std::uint32_t>(value);
    return negative ? static_cast<std::uint32_t>(0u - result) : result;
}

}  // namespace ZembraUI
