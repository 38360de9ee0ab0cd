#include "uitoolkit/markup/TextEncoding.h"

#include <cstdint>

namespace ZembraUI {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

void AppendUtf8(std::vector<unsigned char>& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<unsigned char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<unsigned char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<unsigned char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<unsigned char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<unsigned char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<unsigned char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<unsigned char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<unsigned char>(0x80 | (cp & 0x3F)));
    }
}

}  // namespace

std::vector<unsigned char> Utf16ToUtf8(const unsigned char* data, std::size_t size, bool bigEndian) {
    const std::size_t units = size / 2;
    auto unitAt = [&](std::size_t i) -> char16_t {
        const unsigned char first = data[2 * i];
        const unsigned char second = data[2 * i + 1];
        return static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
    };
    std::vector<unsigned char> out;
    out.reserve(units + units / 2);
    for (std::size_t i = 0; i < units; ++i) {
        const char16_t unit = unitAt(i);
        char32_t cp = unit;
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            const char16_t low = i + 1 < units ? unitAt(i + 1) : 0;
            if (low >= 0xDC00 && low <= 0xDFFF) {
                cp = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            } else {
                cp = kReplacement;
            }
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            cp = kReplacement;
        }
        AppendUtf8(out, cp);
    }
    return out;
}

std::size_t CodePointCount(std::string_view text) {
    std::size_t count = 0;
    for (const char c : text) {
        if (!IsContinuation(static_cast<unsigned char>(c))) ++count;
    }
    return count;
}

std::string Utf8Prefix(std::string_view text, std::size_t maxCodePoints) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (IsContinuation(static_cast<unsigned char>(text[i]))) continue;
        if (count == maxCodePoints) return std::string(text.substr(0, i));
        ++count;
    }
    return std::string(text);
}

}  // namespace ZembraUI
