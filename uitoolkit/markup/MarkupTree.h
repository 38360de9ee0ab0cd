#pragma once
// The parsed form of a markup document, shared by the document and the
// elements handed out from it: the text buffer (names, values and texts are
// spans of it, entities decoded in place) and the flat element array.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace ZembraUI {

struct MarkupSpan {
    std::size_t offset = 0;
    std::size_t length = 0;
};

struct MarkupAttribute {
    MarkupSpan name;
    MarkupSpan value;
};

struct MarkupNode {
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    MarkupSpan name;
    MarkupSpan text;
    std::size_t parent = kNone;
    std::size_t child = kNone;
    std::size_t next = kNone;
    // Range in MarkupTree::attributes.
    std::size_t firstAttribute = 0;
    std::size_t attributeCount = 0;
};

struct MarkupTree {
    // Attributes kept per element; further ones are checked and ignored.
    static constexpr std::size_t kMaxAttributes = 64;

    std::vector<unsigned char> buffer;
    std::vector<MarkupNode> nodes;
    std::vector<MarkupAttribute> attributes;

    std::string_view Text(const MarkupSpan& span) const {
        return {reinterpret_cast<const char*>(buffer.data()) + span.offset, span.length};
    }
};

}  // namespace ZembraUI
