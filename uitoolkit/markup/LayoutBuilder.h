#pragma once
// Turns a layout file into a tree of controls: the window's images, fonts
// and default attribute lists first, the root Window element's attributes,
// then every element as a control (children first, then the defaults of its
// tag and its own attributes in document order). Include elements build
// another file into the current parent, "count" times.
#include <string>
#include <vector>

#include "uitoolkit/markup/MarkupDoc.h"

namespace ZembraUI {

class CControlUI;
class CUIManager;
class IDialogBuilderCallback;

class CLayoutBuilder {
public:
    // Deeper elements are skipped with their subtree (the tree is walked
    // recursively when laid out and painted).
    static constexpr int kMaxDepth = 200;
    // Includes nested deeper than this are skipped.
    static constexpr int kMaxIncludeDepth = 16;
    static constexpr int kMaxIncludeCount = 1000;
    // Controls one build makes at most.
    static constexpr int kMaxControls = 100000;

    // Builds the layout file of the skin into parent (or as a new tree).
    // Returns the first control created, or null when the file cannot be
    // loaded or makes no control.
    CControlUI* Create(const std::string& fileName, const std::string& resType = {},
                       IDialogBuilderCallback* callback = nullptr, CUIManager* manager = nullptr,
                       CControlUI* parent = nullptr);
    // The same from a document already parsed.
    CControlUI* Create(const CMarkupDoc& doc, IDialogBuilderCallback* callback = nullptr,
                       CUIManager* manager = nullptr, CControlUI* parent = nullptr);

    // Why the last file could not be loaded ("" when it could).
    const std::string& LastError() const { return lastError_; }

private:
    CControlUI* BuildDocument(const CMarkupDoc& doc, CControlUI* parent);
    void LoadResources(const CMarkupElem& root);
    CControlUI* BuildChildren(const CMarkupElem& element, CControlUI* parent, int depth);
    void BuildInclude(const CMarkupElem& element, CControlUI* parent);
    CControlUI* MakeControl(const std::string& tag);
    void ApplyAttributes(CControlUI& control, const CMarkupElem& element, const std::string& tag,
                         CControlUI* parent);

    IDialogBuilderCallback* callback_ = nullptr;
    CUIManager* manager_ = nullptr;
    std::vector<std::string> includeStack_;
    int controlsMade_ = 0;
    std::string lastError_;
};

}  // namespace ZembraUI
