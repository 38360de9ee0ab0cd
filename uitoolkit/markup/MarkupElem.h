#pragma once
// One element of a parsed markup document. A light value: it shares the
// parsed document, so it stays usable after the CMarkupDoc that produced it
// is reloaded or destroyed. A default-constructed element is invalid, and so
// is every element reached from an invalid one.
#include <cstddef>
#include <memory>
#include <string>

namespace ZembraUI {

struct MarkupTree;

class CMarkupElem {
public:
    CMarkupElem() = default;

    bool IsValid() const { return tree_ != nullptr; }

    // Tree navigation; invalid when there is no such element.
    CMarkupElem GetChild() const;
    CMarkupElem GetSibling() const;
    CMarkupElem GetParent() const;
    bool HasChildren() const;
    bool HasAttributes() const;

    std::string GetName() const;
    // The text between the start tag and the first child or the end tag,
    // whitespace kept, entities decoded.
    std::string GetValue() const;

    // At most 64 attributes, in document order.
    int GetAttributeCount() const;
    // "" for an index out of range.
    std::string GetAttributeName(int index) const;
    std::string GetAttributeValue(int index) const;
    // The value of the first attribute of that name (case-sensitive), "" when
    // absent.
    std::string GetAttributeValue(const std::string& name) const;
    // Like the above, but tells an absent attribute from an empty one.
    bool GetAttributeValue(const std::string& name, std::string& value) const;

private:
    friend class CMarkupDoc;
    CMarkupElem(std::shared_ptr<const MarkupTree> tree, std::size_t index);
    CMarkupElem At(std::size_t index) const;

    std::shared_ptr<const MarkupTree> tree_;
    std::size_t index_ = 0;
};

}  // namespace ZembraUI
