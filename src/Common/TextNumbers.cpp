#include "Common/TextNumbers.h"

#include <cctype>
#include <limits>

namespace {

struct Scan {
    bool negative = false;
    std::uint64_t magnitude = 0;
    std::size_t digits = 0;
    std::size_t end = 0;
};

// Reads blanks, a sign and digits; the magnitude saturates instead of overflowing.
Scan ScanNumber(std::string_view text) {
    Scan scan;
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) scan.negative = text[i++] == '-';
    constexpr std::uint64_t kLimit = std::numeric_limits<std::uint64_t>::max() / 10 - 9;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i, ++scan.digits) {
        if (scan.magnitude < kLimit) scan.magnitude = scan.magnitude * 10 + (text[i] - '0');
    }
    scan.end = i;
    return scan;
}

std::int64_t Clamp(const Scan& scan, std::int64_t low, std::int64_t high) {
    if (scan.negative) {
        return scan.magnitude > static_cast<std::uint64_t>(high) + 1 ? low
                                                                     : -static_cast<std::int64_t>(scan.magnitude);
    }
    return scan.magnitude > static_cast<std::uint64_t>(high) ? high
                                                             : static_cast<std::int64_t>(scan.magnitude);
}

}  // namespace

int LeadingInt(std::string_view text) {
    return static_cast<int>(Clamp(ScanNumber(text), std::numeric_limits<int>::min(),
                                  std::numeric_limits<int>::max()));
}

std::int64_t LeadingInt64(std::string_view text) {
    return Clamp(ScanNumber(text), std::numeric_limits<std::int64_t>::min(),
                 std::numeric_limits<std::int64_t>::max());
}

std::optional<std::int64_t> StrictInt64(std::string_view text) {
    const Scan scan = ScanNumber(text);
    if (scan.digits == 0) return std::nullopt;
    for (std::size_t i = scan.end; i < text.size(); ++i) {
        if (!std::isspace(static_cast<unsigned char>(text[i]))) return std::nullopt;
    }
    return Clamp(scan, std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::max());
}
