#include "Common/install_ui_mainwnd/WizardTextFormat.h"

#include <cstdio>
#include <string_view>

namespace {

// Width and precision beyond this are not a format a language file means.
constexpr std::size_t kMaxDigits = 2;

// Length of the conversion at format[start] ('%' included) when it is
// well-formed and ends in one of kinds; 0 otherwise.
std::size_t ConversionLength(const std::string& format, std::size_t start, std::string_view kinds) {
    std::size_t at = start + 1;
    while (at < format.size() && std::string_view("-+ #0").find(format[at]) != std::string_view::npos) ++at;
    const auto digits = [&format, &at] {
        const std::size_t first = at;
        while (at < format.size() && format[at] >= '0' && format[at] <= '9') ++at;
        return at - first;
    };
    if (digits() > kMaxDigits) return 0;
    if (at < format.size() && format[at] == '.') {
        ++at;
        if (digits() > kMaxDigits) return 0;
    }
    if (at >= format.size() || kinds.find(format[at]) == std::string_view::npos) return 0;
    return at + 1 - start;
}

template <typename Value>
std::string Fill(const std::string& format, std::string_view kinds, Value value) {
    std::string out;
    bool filled = false;
    for (std::size_t at = 0; at < format.size(); ++at) {
        if (format[at] != '%') {
            out += format[at];
            continue;
        }
        if (at + 1 < format.size() && format[at + 1] == '%') {
            out += '%';
            ++at;
            continue;
        }
        const std::size_t length = filled ? 0 : ConversionLength(format, at, kinds);
        if (length == 0) {
            out += '%';
            continue;
        }
        const std::string conversion = format.substr(at, length);
        const int size = std::snprintf(nullptr, 0, conversion.c_str(), value);
        if (size > 0) {
            std::string piece(static_cast<std::size_t>(size) + 1, '\0');
            std::snprintf(piece.data(), piece.size(), conversion.c_str(), value);
            piece.resize(static_cast<std::size_t>(size));
            out += piece;
        }
        filled = true;
        at += length - 1;
    }
    return out;
}

}  // namespace

std::string FormatWithNumber(const std::string& format, double value) { return Fill(format, "fFeEgG", value); }

std::string FormatWithText(const std::string& format, const std::string& text) {
    return Fill(format, "s", text.c_str());
}
