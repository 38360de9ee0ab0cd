#include "uitoolkit/markup/MarkupParser.h"

#include <cstring>

namespace ZembraUI {
namespace {

bool IsNameChar(unsigned char c) {
    // Bytes of multi-byte UTF-8 characters count as letters.
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ':' || c == '_' ||
           c >= 0x80;
}

struct Entity {
    const char* name;
    std::size_t length;  // with "&" and ";"
    unsigned char value;
};

constexpr Entity kEntities[] = {
    {"&amp;", 5, '&'}, {"&lt;", 4, '<'}, {"&gt;", 4, '>'}, {"&quot;", 6, '"'}, {"&apos;", 6, '\''},
};

}  // namespace

std::size_t DecodeMarkupEntities(unsigned char* text, std::size_t length) {
    std::size_t read = 0;
    std::size_t write = 0;
    while (read < length) {
        if (text[read] == '&') {
            const Entity* match = nullptr;
            for (const Entity& entity : kEntities) {
                if (length - read >= entity.length && std::memcmp(text + read, entity.name, entity.length) == 0) {
                    match = &entity;
                    break;
                }
            }
            if (match != nullptr) {
                text[write++] = match->value;
                read += match->length;
                continue;
            }
        }
        text[write++] = text[read++];
    }
    return write;
}

CMarkupParser::CMarkupParser(MarkupTree& tree, std::size_t start)
    : tree_(tree), data_(tree.buffer.data()), pos_(start), end_(tree.buffer.size()) {}

bool CMarkupParser::Parse() {
    // Elements still waiting for their end tag, and the last child seen at
    // each open level (one more entry than open: the top level).
    std::vector<std::size_t> open;
    std::vector<std::size_t> lastChild{MarkupNode::kNone};
    for (;;) {
        SkipWhitespace();
        if (AtEnd()) {
            if (!open.empty()) return Fail("Expected end-tag start");
            break;
        }
        if (data_[pos_] != '<') return Fail("Expected start tag");
        if (Follows("<?")) {
            SkipPast("?>");
            continue;
        }
        if (Follows("<!")) {
            SkipPast("->");
            continue;
        }
        if (Follows("</")) {
            if (!CloseElement(open)) return false;
            lastChild.pop_back();
            continue;
        }
        ++pos_;
        const std::size_t node = AddNode(open.empty() ? MarkupNode::kNone : open.back(), lastChild.back());
        lastChild.back() = node;
        tree_.nodes[node].name = ReadName();
        if (tree_.nodes[node].name.length == 0) return Fail("Error parsing element name");
        if (!ParseAttributes(node)) return false;
        if (Follows("/>")) {
            pos_ += 2;
            continue;
        }
        if (AtEnd() || data_[pos_] != '>') return Fail("Expected start-tag closing");
        ++pos_;
        ReadText(node);
        if (AtEnd()) return Fail("Expected end-tag start");
        open.push_back(node);
        lastChild.push_back(MarkupNode::kNone);
    }
    if (tree_.nodes.empty()) return Fail("Expected start tag");
    return true;
}

bool CMarkupParser::Follows(const char* text) const {
    const std::size_t length = std::strlen(text);
    return end_ - pos_ >= length && std::memcmp(data_ + pos_, text, length) == 0;
}

void CMarkupParser::SkipWhitespace() {
    while (pos_ < end_ && data_[pos_] <= ' ') ++pos_;
}

void CMarkupParser::SkipPast(const char* terminator) {
    pos_ += 2;
    while (pos_ < end_ && !Follows(terminator)) ++pos_;
    pos_ = pos_ < end_ ? pos_ + std::strlen(terminator) : end_;
}

MarkupSpan CMarkupParser::ReadName() {
    const std::size_t start = pos_;
    while (pos_ < end_ && IsNameChar(data_[pos_])) ++pos_;
    return {start, pos_ - start};
}

std::size_t CMarkupParser::AddNode(std::size_t parent, std::size_t previousSibling) {
    auto& nodes = tree_.nodes;
    if (nodes.size() == nodes.capacity()) nodes.reserve(nodes.capacity() + nodes.capacity() / 2 + 500);
    const std::size_t index = nodes.size();
    MarkupNode& node = nodes.emplace_back();
    node.parent = parent;
    node.firstAttribute = tree_.attributes.size();
    if (previousSibling != MarkupNode::kNone) {
        nodes[previousSibling].next = index;
    } else if (parent != MarkupNode::kNone) {
        nodes[parent].child = index;
    }
    return index;
}

bool CMarkupParser::ParseAttributes(std::size_t node) {
    for (;;) {
        SkipWhitespace();
        if (AtEnd() || data_[pos_] == '/' || data_[pos_] == '>') return true;
        if (!ParseAttribute(node)) return false;
    }
}

bool CMarkupParser::ParseAttribute(std::size_t node) {
    const MarkupSpan name = ReadName();
    if (name.length == 0) return Fail("Error while parsing attributes");
    SkipWhitespace();
    if (AtEnd() || data_[pos_] != '=') return Fail("Error while parsing attributes");
    ++pos_;
    SkipWhitespace();
    if (AtEnd() || data_[pos_] != '"') return Fail("Expected attribute value");
    const std::size_t valueStart = ++pos_;
    const void* quote = AtEnd() ? nullptr : std::memchr(data_ + pos_, '"', end_ - pos_);
    if (quote == nullptr) return Fail("Error while parsing attribute string");
    const std::size_t valueEnd = static_cast<const unsigned char*>(quote) - data_;
    pos_ = valueEnd + 1;

    MarkupNode& element = tree_.nodes[node];
    if (element.attributeCount < MarkupTree::kMaxAttributes) {
        tree_.attributes.push_back({name, DecodeInPlace(valueStart, valueEnd - valueStart)});
        ++element.attributeCount;
    }
    return true;
}

bool CMarkupParser::CloseElement(std::vector<std::size_t>& open) {
    pos_ += 2;
    if (open.empty()) return Fail("Unmatched closing tag");
    const std::string_view expected = tree_.Text(tree_.nodes[open.back()].name);
    if (end_ - pos_ < expected.size() || std::memcmp(data_ + pos_, expected.data(), expected.size()) != 0) {
        return Fail("Unmatched closing tag");
    }
    pos_ += expected.size();
    SkipWhitespace();
    if (AtEnd() || data_[pos_] != '>') return Fail("Unmatched closing tag");
    ++pos_;
    open.pop_back();
    return true;
}

void CMarkupParser::ReadText(std::size_t node) {
    const std::size_t start = pos_;
    const void* next = AtEnd() ? nullptr : std::memchr(data_ + pos_, '<', end_ - pos_);
    pos_ = next != nullptr ? static_cast<std::size_t>(static_cast<const unsigned char*>(next) - data_) : end_;
    tree_.nodes[node].text = DecodeInPlace(start, pos_ - start);
}

MarkupSpan CMarkupParser::DecodeInPlace(std::size_t offset, std::size_t length) {
    return {offset, DecodeMarkupEntities(data_ + offset, length)};
}

bool CMarkupParser::Fail(const char* message) {
    error_ = message;
    errorOffset_ = pos_ < end_ ? pos_ : end_;
    return false;
}

}  // namespace ZembraUI
