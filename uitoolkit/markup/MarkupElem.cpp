#include "uitoolkit/markup/MarkupElem.h"

#include "uitoolkit/markup/MarkupTree.h"

namespace ZembraUI {

CMarkupElem::CMarkupElem(std::shared_ptr<const MarkupTree> tree, std::size_t index)
    : tree_(std::move(tree)), index_(index) {}

CMarkupElem CMarkupElem::At(std::size_t index) const {
    if (tree_ == nullptr || index == MarkupNode::kNone) return {};
    return CMarkupElem(tree_, index);
}

CMarkupElem CMarkupElem::GetChild() const { return tree_ ? At(tree_->nodes[index_].child) : CMarkupElem{}; }

CMarkupElem CMarkupElem::GetSibling() const { return tree_ ? At(tree_->nodes[index_].next) : CMarkupElem{}; }

CMarkupElem CMarkupElem::GetParent() const { return tree_ ? At(tree_->nodes[index_].parent) : CMarkupElem{}; }

bool CMarkupElem::HasChildren() const { return tree_ && tree_->nodes[index_].child != MarkupNode::kNone; }

bool CMarkupElem::HasAttributes() const { return GetAttributeCount() > 0; }

std::string CMarkupElem::GetName() const {
    return tree_ ? std::string(tree_->Text(tree_->nodes[index_].name)) : std::string();
}

std::string CMarkupElem::GetValue() const {
    return tree_ ? std::string(tree_->Text(tree_->nodes[index_].text)) : std::string();
}

int CMarkupElem::GetAttributeCount() const {
    return tree_ ? static_cast<int>(tree_->nodes[index_].attributeCount) : 0;
}

std::string CMarkupElem::GetAttributeName(int index) const {
    if (index < 0 || index >= GetAttributeCount()) return {};
    const MarkupNode& node = tree_->nodes[index_];
    return std::string(tree_->Text(tree_->attributes[node.firstAttribute + static_cast<std::size_t>(index)].name));
}

std::string CMarkupElem::GetAttributeValue(int index) const {
    if (index < 0 || index >= GetAttributeCount()) return {};
    const MarkupNode& node = tree_->nodes[index_];
    return std::string(tree_->Text(tree_->attributes[node.firstAttribute + static_cast<std::size_t>(index)].value));
}

std::string CMarkupElem::GetAttributeValue(const std::string& name) const {
    std::string value;
    GetAttributeValue(name, value);
    return value;
}

bool CMarkupElem::GetAttributeValue(const std::string& name, std::string& value) const {
    value.clear();
    if (tree_ == nullptr) return false;
    const MarkupNode& node = tree_->nodes[index_];
    for (std::size_t i = 0; i < node.attributeCount; ++i) {
        const MarkupAttribute& attribute = tree_->attributes[node.firstAttribute + i];
        if (tree_->Text(attribute.name) == name) {
            value = tree_->Text(attribute.value);
            return true;
        }
    }
    return false;
}

}  // namespace ZembraUI
