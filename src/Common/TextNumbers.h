#pragma once
// Number reading with the C library's forgiving rules: leading blanks, an
// optional sign, then leading decimal digits; 0 when there are none.
#include <cstdint>
#include <optional>
#include <string_view>

int LeadingInt(std::string_view text);
std::int64_t LeadingInt64(std::string_view text);
// The whole text (blanks around allowed) as a number, or nullopt.
std::optional<std::int64_t> StrictInt64(std::string_view text);
