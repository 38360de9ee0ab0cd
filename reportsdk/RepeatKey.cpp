#include "reportsdk/RepeatKey.h"

#include <charconv>

namespace RepeatKey {

std::string Make(const std::string& kind, std::int64_t milliseconds, const std::string& category,
                 const std::string& action) {
    return kind + "::" + std::to_string(milliseconds) + "::" + category + "::" + action;
}

Parts Split(const std::string& key) {
    Parts parts{key.substr(0, 3), 0, key.size() > 16 ? key.substr(16) : ""};
    if (key.size() > 3) {
        const std::string time = key.substr(3, 13);
        std::int64_t value = 0;
        const auto [end, error] = std::from_chars(time.data(), time.data() + time.size(), value);
        if (error == std::errc() && end == time.data() + time.size()) parts.milliseconds = value;
    }
    return parts;
}

std::int64_t SecondsApart(std::int64_t a, std::int64_t b) {
    const std::int64_t difference = a > b ? a - b : b - a;
    return difference / 1000;
}

}  // namespace RepeatKey
