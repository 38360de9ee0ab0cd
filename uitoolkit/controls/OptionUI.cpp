#include "uitoolkit/controls/OptionUI.h"

#include "uitoolkit/manager/UIManager.h"
#include "uitoolkit/markup/ColorValue.h"
#include "uitoolkit/render/DrawEngine.h"

namespace ZembraUI {

using namespace ButtonState;

COptionUI::~COptionUI() {
    if (manager_ != nullptr && inGroup_) manager_->RemoveOptionGroup(group_, this);
}

std::string_view COptionUI::TypeName() const { return "OptionUI"; }

void* COptionUI::AsInterface(std::string_view name) {
    if (name == "Option") return this;
    return CButtonUI::AsInterface(name);
}

void COptionUI::Attach(CUIManager* manager, CControlUI* parent, bool init) {
    if (manager_ != nullptr && manager_ != manager && inGroup_) manager_->RemoveOptionGroup(group_, this);
    CButtonUI::Attach(manager, parent, init);
    inGroup_ = manager_ != nullptr && (init || inGroup_) && !group_.empty();
    if (inGroup_) manager_->AddOptionGroup(group_, this);
}

void COptionUI::PutGroup(const std::string& group) {
    if (group == group_) return;
    const bool registered = inGroup_;
    if (inGroup_) manager_->RemoveOptionGroup(group_, this);
    group_ = group;
    inGroup_ = registered && !group_.empty();
    if (inGroup_) manager_->AddOptionGroup(group_, this);
}

bool COptionUI::Fire() {
    if (!CButtonUI::Fire()) return false;
    Select(group_.empty() ? !Selected() : true);
    return true;
}

void COptionUI::Select(bool selected) {
    const bool changed = selected != Selected();
    SetStateBit(kSelected, selected);
    if (manager_ == nullptr) return;
    if (group_.empty()) {
        if (changed) manager_->SendNotification(this, "selectchanged");
        return;
    }
    // Deselecting a grouped option only repaints it; selecting clears the
    // rest of its group and is announced even when it was selected before.
    if (!selected) return;
    if (const auto* members = manager_->OptionGroup(group_)) {
        const std::vector<CControlUI*> others = *members;
        for (CControlUI* member : others) {
            auto* option = static_cast<COptionUI*>(member->AsInterface("Option"));
            if (option != nullptr && option != this) option->Select(false);
        }
    }
    manager_->SendNotification(this, "selectchanged");
}

void COptionUI::ApplyAttr(std::string_view name, std::string_view value) {
    const std::string text(value);
    if (name == "group") {
        PutGroup(text);
    } else if (name == "selected") {
        Select(IsTrue(value));
    } else if (name == "selectedimage") {
        selectedImage_ = text;
    } else if (name == "selectedhotimage") {
        selectedHotImage_ = text;
    } else if (name == "selectedpushedimage") {
        selectedPushedImage_ = text;
    } else if (name == "selectedforeimage") {
        selectedForeImage_ = text;
    } else if (name == "selectedbkcolor") {
        selectedBkColor_ = ParseColorValue(value);
    } else if (name == "selectedtextcolor") {
        selectedTextColor_ = ParseColorValue(value);
    } else {
        CButtonUI::ApplyAttr(name, value);
        return;
    }
    Invalidate();
}

void COptionUI::RenderStateImages(cairo_t* cr, const UIRect& paint) {
    if (!Selected()) {
        CButtonUI::RenderStateImages(cr, paint);
        return;
    }
    bool drawn = false;
    if (state_ & kPushed) drawn = DrawImage(cr, paint, selectedPushedImage_);
    if (!drawn && (state_ & kHot)) drawn = DrawImage(cr, paint, selectedHotImage_);
    if (!drawn) drawn = DrawImage(cr, paint, selectedImage_);
    if (!drawn && selectedBkColor_ != 0) CDrawEngine::DrawColor(cr, pos_, selectedBkColor_);
    if (!selectedForeImage_.empty()) {
        DrawImage(cr, paint, selectedForeImage_);
    } else {
        RenderForeImage(cr, paint);
    }
}

std::uint32_t COptionUI::CurrentTextColor() const {
    if (Selected() && Enabled() && selectedTextColor_ != 0) return selectedTextColor_;
    return CButtonUI::CurrentTextColor();
}

}  // namespace ZembraUI
