#include "uitoolkit/markup/NumberList.h"

#include <cstdint>
#include <limits>

namespace ZembraUI {
namespace {

bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// One strtol-style read starting at pos; pos ends after the number, or stays
// where it was when there is no number at all.
int ReadLong(std::string_view text, std::size_t& pos) {
    std::size_t cursor = pos;
    while (cursor < text.size() && IsBlank(text[cursor])) ++cursor;
    bool negative = false;
    if (cursor < text.size() && (text[cursor] == '+' || text[cursor] == '-')) {
        negative = text[cursor] == '-';
        ++cursor;
    }
    if (cursor >= text.size() || !IsDigit(text[cursor])) return 0;

    // Accumulate beyond the 32-bit range and clamp at the end, as a 32-bit
    // long does on overflow.
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t magnitude = 0;
    while (cursor < text.size() && IsDigit(text[cursor])) {
        if (magnitude <= kLimit) magnitude = magnitude * 10 + (text[cursor] - '0');
        ++cursor;
    }
    pos = cursor;
    if (negative) return magnitude >= kLimit ? std::numeric_limits<std::int32_t>::min() : static_cast<int>(-magnitude);
    return magnitude >= kLimit ? std::numeric_limits<std::int32_t>::max() : static_cast<int>(magnitude);
}

}  // namespace

std::vector<int> ParseNumberList(std::string_view text, std::size_t count) {
    std::vector<int> values(count, 0);
    std::size_t pos = 0;
    for (std::size_t i = 0; i < count && pos < text.size(); ++i) {
        values[i] = ReadLong(text, pos);
        ++pos;  // the separator, whatever character it is
    }
    return values;
}

UISize ParseSizeValue(std::string_view text) {
    const auto values = ParseNumberList(text, 2);
    return {values[0], values[1]};
}

UIPoint ParsePointValue(std::string_view text) {
    const auto values = ParseNumberList(text, 2);
    return {values[0], values[1]};
}

UIRect ParseRectValue(std::string_view text) {
    const auto values = ParseNumberList(text, 4);
    return {values[0], values[1], values[2], values[3]};
}

}  // namespace ZembraUI
