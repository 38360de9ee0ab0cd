#include "uitoolkit/markup/AttributeList.h"

namespace ZembraUI {

AttributeList ParseAttributeList(std::string_view text) {
    AttributeList pairs;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t equals = text.find('=', pos);
        if (equals == std::string_view::npos) break;
        const std::string_view name = text.substr(pos, equals - pos);
        if (name.find_first_of(" \"") != std::string_view::npos) break;
        const std::size_t open = equals + 1;
        if (open >= text.size() || text[open] != '"') break;
        const std::size_t close = text.find('"', open + 1);
        if (close == std::string_view::npos) break;
        pairs.emplace_back(std::string(name), std::string(text.substr(open + 1, close - open - 1)));
        pos = close + 1;
        if (pos >= text.size() || text[pos] != ' ') break;
        ++pos;
    }
    return pairs;
}

}  // namespace ZembraUI
