#include "Common/EmbeddedLabels.h"

#include "uitoolkit/markup/MarkupDoc.h"

namespace {

constexpr const char* kConfigureFile = "configure\\configure.xml";

// Children of the root's first child ("Product_config").
ZembraUI::CMarkupElem FirstLabel(const ZembraUI::CMarkupDoc& doc) {
    ZembraUI::CMarkupElem root = doc.GetRoot();
    if (!root.IsValid()) return {};
    ZembraUI::CMarkupElem container = root.GetChild();
    return container.IsValid() ? container.GetChild() : ZembraUI::CMarkupElem{};
}

}  // namespace

LabelList ReadEmbeddedConfigureLabels() {
    ZembraUI::CMarkupDoc doc;
    if (!doc.LoadFromFile(kConfigureFile)) return {};
    LabelList labels;
    for (auto label = FirstLabel(doc); label.IsValid(); label = label.GetSibling()) {
        if (label.GetAttributeCount() < 2) continue;
        labels.emplace_back(label.GetAttributeValue(0), label.GetAttributeValue(1));
    }
    return labels;
}

EmbeddedConfigLabels::EmbeddedConfigLabels() {
    ZembraUI::CMarkupDoc doc;
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
