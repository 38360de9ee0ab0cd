#include "uitoolkit/controls/ButtonUI.h"

#include "uitoolkit/RectMath.h"
#include "uitoolkit/manager/UIManager.h"
#include "uitoolkit/markup/ColorValue.h"
#include "uitoolkit/render/DrawEngine.h"
#include "uitoolkit/text/TextStyle.h"

namespace ZembraUI {

using namespace ButtonState;

CButtonUI::CButtonUI() { textStyle_ = TextStyle::kSingleLine | TextStyle::kVCenter | TextStyle::kCenter; }

std::string_view CButtonUI::TypeName() const { return "ButtonUI"; }

void* CButtonUI::AsInterface(std::string_view name) {
    if (name == "Button") return this;
    return CLabelUI::AsInterface(name);
}

unsigned CButtonUI::Flags() const { return ControlFlag::kTabStop | (Enabled() ? ControlFlag::kSetCursor : 0); }

bool CButtonUI::Fire() {
    if (!CControlUI::Fire()) return false;
    if (manager_ != nullptr) manager_->SendNotification(this, "click");
    return true;
}

void CButtonUI::SetStateBit(unsigned bit, bool on) {
    const unsigned old = state_;
    state_ = on ? state_ | bit : state_ & ~bit;
    if (state_ != old) Invalidate();
}

void CButtonUI::PutEnabled(bool enabled) {
    CLabelUI::PutEnabled(enabled);
    if (!enabled) state_ = 0;
}

void CButtonUI::OnEvent(ControlEvent& event) {
    if (!MouseEnabled() && IsMouseEvent(event.kind)) {
        CLabelUI::OnEvent(event);
        return;
    }
    switch (event.kind) {
    case kEventSetFocus:
        SetStateBit(kFocused, true);
        break;
    case kEventKillFocus:
        SetStateBit(kFocused, false);
        break;
    case kEventKeyDown:
        if (KeyboardEnabled() && (event.character == KeyCode::kSpace || event.character == KeyCode::kReturn)) {
            Fire();
            return;
        }
        break;
    case kEventButtonDown:
    case kEventDoubleClick:
        if (Contains(pos_, event.mouse) && Enabled()) SetStateBit(kPushed | kCaptured, true);
        return;
    case kEventMouseMove:
        if (state_ & kCaptured) SetStateBit(kPushed, Contains(pos_, event.mouse));
        return;
    case kEventButtonUp:
        if (state_ & kCaptured) {
            const bool inside = Contains(pos_, event.mouse);
            SetStateBit(kPushed | kCaptured, false);
            if (inside) Fire();
        }
        return;
    case kEventMouseEnter:
        if (Enabled()) SetStateBit(kHot, true);
        return;
    case kEventMouseLeave:
        if (Enabled()) SetStateBit(kHot, false);
        return;
    case kEventSetCursor:
        if (manager_ != nullptr) manager_->SetCursor(CursorShape::Hand);
        return;
    default:
        break;
    }
    CLabelUI::OnEvent(event);
}

void CButtonUI::ApplyAttr(std::string_view name, std::string_view value) {
    const std::string text(value);
    if (images_.Apply(name, value)) {
    } else if (name == "foreimage") {
        foreImage_ = text;
    } else if (name == "hotforeimage") {
        hotForeImage_ = text;
    } else if (name == "pushedforeimage") {
        pushedForeImage_ = text;
    } else if (name == "hotbkcolor") {
        hotBkColor_ = ParseColorValue(value);
    } else if (name == "hottextcolor") {
        hotTextColor_ = ParseColorValue(value);
    } else if (name == "pushedtextcolor") {
        pushedTextColor_ = ParseColorValue(value);
    } else if (name == "focusedtextcolor") {
        focusedTextColor_ = ParseColorValue(value);
    } else if (name == "multiline") {
        textStyle_ = IsTrue(value) ? (textStyle_ & ~TextStyle::kSingleLine) | TextStyle::kWordBreak
                                   : (textStyle_ & ~TextStyle::kWordBreak) | TextStyle::kSingleLine;
    } else {
        CLabelUI::ApplyAttr(name, value);
        return;
    }
    Invalidate();
}

void CButtonUI::RenderForeImage(cairo_t* cr, const UIRect& paint) {
    if ((state_ & kPushed) && !pushedForeImage_.empty()) {
        DrawImage(cr, paint, pushedForeImage_);
    } else if ((state_ & kHot) && !hotForeImage_.empty()) {
        DrawImage(cr, paint, hotForeImage_);
    } else if (!foreImage_.empty()) {
        DrawImage(cr, paint, foreImage_);
    }
}

void CButtonUI::RenderStateImages(cairo_t* cr, const UIRect& paint) {
    const bool disabled = !Enabled();
    bool drawn = false;
    if (disabled) {
        drawn = DrawImage(cr, paint, images_.disabled);
    } else if (state_ & kPushed) {
        drawn = DrawImage(cr, paint, images_.pushed);
    } else if (state_ & kHot) {
        drawn = DrawImage(cr, paint, images_.hot);
        if (!drawn && hotBkColor_ != 0) {
            CDrawEngine::DrawColor(cr, pos_, hotBkColor_);
            return;
        }
    } else if (state_ & kFocused) {
        drawn = DrawImage(cr, paint, images_.focused);
    }
    if (!drawn) DrawImage(cr, paint, images_.normal);
    RenderForeImage(cr, paint);
}

std::uint32_t CButtonUI::CurrentTextColor() const {
    if (Enabled()) {
        if ((state_ & kPushed) && pushedTextColor_ != 0) return pushedTextColor_;
        if ((state_ & kHot) && hotTextColor_ != 0) return hotTextColor_;
        if ((state_ & kFocused) && focusedTextColor_ != 0) return focusedTextColor_;
    }
    return CLabelUI::CurrentTextColor();
}

void CButtonUI::RenderText(cairo_t* cr, const UIRect&) {
    DrawTextIn(cr, Deflate(pos_, textPadding_), text_, CurrentTextColor(), textStyle_);
}

}  // namespace ZembraUI
