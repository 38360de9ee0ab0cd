#include "uitoolkit/text/Utf8Text.h"

#include <glib.h>

namespace ZembraUI {

std::string ValidUtf8(std::string_view text) {
    if (g_utf8_validate_len(text.data(), text.size(), nullptr)) return std::string(text);
    std::string valid;
    valid.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const char* start = text.data() + pos;
        if (*start == '\0') {
            ++pos;
            continue;
        }
        const auto left = static_cast<gssize>(text.size() - pos);
        const gunichar c = g_utf8_get_char_validated(start, left);
        if (c == static_cast<gunichar>(-1) || c == static_cast<gunichar>(-2)) {
            valid += "\xEF\xBF\xBD";
            ++pos;
            continue;
        }
        const auto length = static_cast<std::size_t>(g_utf8_next_char(start) - start);
        valid.append(start, length);
        pos += length;
    }
    return valid;
}

}  // namespace ZembraUI
