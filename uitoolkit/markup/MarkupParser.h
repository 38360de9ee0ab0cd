#pragma once
// The markup syntax, a forgiving subset of XML: elements with double-quoted
// attributes, a text before the first child, "<?...?>" and "<!...->" skipped,
// five entities decoded. Works in place on the tree's buffer.
#include <cstddef>
#include <string>
#include <vector>

#include "uitoolkit/markup/MarkupTree.h"

namespace ZembraUI {

class CMarkupParser {
public:
    // Parses tree.buffer from byte start on, filling tree.nodes and
    // tree.attributes.
    CMarkupParser(MarkupTree& tree, std::size_t start);

    bool Parse();
    // After a failed Parse: the reason and the buffer offset where it arose.
    const std::string& ErrorMessage() const { return error_; }
    std::size_t ErrorOffset() const { return errorOffset_; }

private:
    bool AtEnd() const { return pos_ >= end_; }
    bool Follows(const char* text) const;
    void SkipWhitespace();
    void SkipPast(const char* terminator);
    MarkupSpan ReadName();
    std::size_t AddNode(std::size_t parent, std::size_t previousSibling);
    bool ParseAttributes(std::size_t node);
    bool ParseAttribute(std::size_t node);
    bool CloseElement(std::vector<std::size_t>& open);
    void ReadText(std::size_t node);
    MarkupSpan DecodeInPlace(std::size_t offset, std::size_t length);
    bool Fail(const char* message);

    MarkupTree& tree_;
    unsigned char* data_;
    std::size_t pos_;
    std::size_t end_;
    std::string error_;
    std::size_t errorOffset_ = 0;
};

// Decodes &amp; &lt; &gt; &quot; &apos; in text[0, length) in place and
// returns the new length; any other "&" is kept as it is.
std::size_t DecodeMarkupEntities(unsigned char* text, std::size_t length);

}  // namespace ZembraUI
