#include "uitoolkit/markup/LayoutBuilder.h"

#include <algorithm>
#include <cctype>

#include <easylogging++.h>

#include "uitoolkit/controls/ContainerUI.h"
#include "uitoolkit/manager/UIManager.h"
#include "uitoolkit/markup/ColorValue.h"
#include "uitoolkit/markup/ControlRegistry.h"
#include "uitoolkit/markup/DialogBuilderCallback.h"
#include "uitoolkit/markup/NumberList.h"

namespace ZembraUI {
namespace {

bool IsResourceTag(const std::string& tag) { return tag == "Image" || tag == "Font" || tag == "Default"; }

std::string Folded(std::string name) {
    for (char& c : name) {
        c = c == '\\' ? '/' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return name;
}

int IntAttribute(const CMarkupElem& element, const std::string& name, int fallback) {
    std::string value;
    if (!element.GetAttributeValue(name, value)) return fallback;
    return ParseNumberList(value, 1)[0];
}

}  // namespace

CControlUI* CLayoutBuilder::Create(const std::string& fileName, const std::string&, IDialogBuilderCallback* callback,
                                   CUIManager* manager, CControlUI* parent) {
    CMarkupDoc doc;
    if (!doc.LoadFromFile(fileName)) {
        lastError_ = doc.GetLastErrorMessage() + " (" + doc.GetLastErrorLocation() + ")";
        LOG(INFO) << " Layout " << fileName << " not loaded: " << lastError_;
        return nullptr;
    }
    lastError_.clear();
    includeStack_ = {Folded(fileName)};
    return Create(doc, callback, manager, parent);
}

CControlUI* CLayoutBuilder::Create(const CMarkupDoc& doc, IDialogBuilderCallback* callback, CUIManager* manager,
                                   CControlUI* parent) {
    callback_ = callback;
    manager_ = manager;
    controlsMade_ = 0;
    return BuildDocument(doc, parent);
}

CControlUI* CLayoutBuilder::BuildDocument(const CMarkupDoc& doc, CControlUI* parent) {
    const CMarkupElem root = doc.GetRoot();
    if (!root.IsValid()) return nullptr;
    if (manager_ != nullptr) {
        LoadResources(root);
        // The root Window element carries the window's own attributes.
        if (root.GetName() == "Window") {
            for (int i = 0; i < root.GetAttributeCount(); ++i) {
                manager_->ApplyWindowAttribute(root.GetAttributeName(i), root.GetAttributeValue(i));
            }
        }
    }
    return BuildChildren(root, parent, 1);
}

void CLayoutBuilder::LoadResources(const CMarkupElem& root) {
    for (CMarkupElem node = root.GetChild(); node.IsValid(); node = node.GetSibling()) {
        const std::string tag = node.GetName();
        if (tag == "Image") {
            const std::string name = node.GetAttributeValue("name");
            if (!name.empty()) {
                manager_->ImageByName(name, node.GetAttributeValue("restype"),
                                      ParseColorValue(node.GetAttributeValue("mask")));
            }
        } else if (tag == "Font") {
            // Fonts are numbered by their order; an "id" attribute is not read.
            const FontInfo* font = manager_->AddFontEntry(
                node.GetAttributeValue("name"), IntAttribute(node, "size", 12),
                node.GetAttributeValue("bold") == "true", node.GetAttributeValue("underline") == "true",
                node.GetAttributeValue("italic") == "true");
            if (font != nullptr && node.GetAttributeValue("default") == "true") manager_->SetDefaultFont(*font);
        } else if (tag == "Default") {
            const std::string name = node.GetAttributeValue("name");
            if (!name.empty()) manager_->AddDefaultAttributeList(name, node.GetAttributeValue("value"));
        }
    }
}

CControlUI* CLayoutBuilder::BuildChildren(const CMarkupElem& element, CControlUI* parent, int depth) {
    CControlUI* first = nullptr;
    if (depth > kMaxDepth) {
        LOG(INFO) << " Layout nested deeper than " << kMaxDepth << " levels: the rest is skipped";
        return nullptr;
    }
    for (CMarkupElem node = element.GetChild(); node.IsValid(); node = node.GetSibling()) {
        const std::string tag = node.GetName();
        if (IsResourceTag(tag)) continue;
        if (tag == "Include") {
            BuildInclude(node, parent);
            continue;
        }
        CControlUI* control = MakeControl(tag);
        if (control == nullptr) continue;
        if (node.HasChildren()) BuildChildren(node, control, depth + 1);
        if (parent != nullptr) {
            auto* container = static_cast<CContainerUI*>(parent->AsInterface("IContainer"));
            if (container == nullptr || !container->Add(control)) {
                delete control;
                continue;
            }
        }
        if (manager_ != nullptr) ApplyAttributes(*control, node, tag, parent);
        if (first == nullptr) first = control;
    }
    return first;
}

void CLayoutBuilder::BuildInclude(const CMarkupElem& element, CControlUI* parent) {
    const std::string source = element.GetAttributeValue("source");
    const int count = std::min(IntAttribute(element, "count", 1), kMaxIncludeCount);
    if (source.empty() || count <= 0) return;
    const std::string key = Folded(source);
    if (std::find(includeStack_.begin(), includeStack_.end(), key) != includeStack_.end()) {
        LOG(INFO) << " Layout include of " << source << " skipped: it includes itself";
        return;
    }
    if (static_cast<int>(includeStack_.size()) > kMaxIncludeDepth) {
        LOG(INFO) << " Layout include of " << source << " skipped: nested too deep";
        return;
    }
    CMarkupDoc doc;
    if (!doc.LoadFromFile(source)) {
        LOG(INFO) << " Layout include " << source << " not loaded: " << doc.GetLastErrorMessage();
        return;
    }
    includeStack_.push_back(key);
    for (int i = 0; i < count && controlsMade_ < kMaxControls; ++i) BuildDocument(doc, parent);
    includeStack_.pop_back();
}

CControlUI* CLayoutBuilder::MakeControl(const std::string& tag) {
    if (controlsMade_ >= kMaxControls) {
        if (controlsMade_++ == kMaxControls) LOG(INFO) << " Layout makes more than " << kMaxControls << " controls";
        return nullptr;
    }
    CControlUI* control = CControlRegistry::Create(tag);
    if (control == nullptr && callback_ != nullptr) control = callback_->CreateControl(tag);
    if (control == nullptr) {
        LOG(INFO) << " Layout tag " << tag << " unknown: skipped";
        return nullptr;
    }
    ++controlsMade_;
    return control;
}

void CLayoutBuilder::ApplyAttributes(CControlUI& control, const CMarkupElem& element, const std::string& tag,
                                     CControlUI* parent) {
    control.Attach(manager_, parent, false);
    const std::string defaults = manager_->DefaultAttributeList(tag);
    if (!defaults.empty()) control.ApplyAttrList(defaults);
    for (int i = 0; i < element.GetAttributeCount(); ++i) {
        control.ApplyAttr(element.GetAttributeName(i), element.GetAttributeValue(i));
    }
    // The tree joins the manager for good when the window attaches it.
    control.Attach(nullptr, parent, false);
}

}  // namespace ZembraUI
