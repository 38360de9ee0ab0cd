#include "Common/EmbeddedLabels.h"

#include "uitoolkit/MarkupDoc.h"

namespace {

constexpr const char* kConfigureFile = "configure\\configure.xml";

// Children of the root's first child ("Product_config").
DuiLib::CMarkupElem FirstLabel(const DuiLib::CMarkupDoc& doc) {
    DuiLib::CMarkupElem root = doc.GetRoot();
    if (!root.IsValid()) return {};
    DuiLib::CMarkupElem container = root.GetChild();
    return container.IsValid() ? container.GetChild() : DuiLib::CMarkupElem{};
}

}  // namespace

LabelList ReadEmbeddedConfigureLabels() {
    DuiLib::CMarkupDoc doc;
    if (!doc.LoadFromFile(kConfigureFile)) return {};
    LabelList labels;
    for (auto label = FirstLabel(doc); label.IsValid(); label = label.GetSibling()) {
        if (label.GetAttributeCount() < 2) continue;
        labels.emplace_back(label.GetAttributeValue(0), label.GetAttributeValue(1));
    }
    return labels;
}

EmbeddedConfigLabels::EmbeddedConfigLabels() {
    DuiLib::CMarkupDoc doc;
    if (!doc.LoadFromFile(kConfigureFile)) return;
    for (auto label = FirstLabel(doc); label.IsValid(); label = label.GetSibling()) {
        labels_.emplace_back(label.GetAttributeValue("name"), label.GetAttributeValue("text"));
    }
}

std::optional<std::string> EmbeddedConfigLabels::LabelText(const std::string& name) const {
    for (const auto& [labelName, text] : labels_) {
        if (labelName == name) return text;
    }
    return std::nullopt;
}
