#include "uitoolkit/controls/EditUI.h"

#include "uitoolkit/RectMath.h"
#include "uitoolkit/controls/Utf8.h"
#include "uitoolkit/manager/UIManager.h"
#include "uitoolkit/markup/ColorValue.h"
#include "uitoolkit/markup/NumberList.h"
#include "uitoolkit/render/DrawEngine.h"
#include "uitoolkit/text/TextStyle.h"

namespace ZembraUI {

CEditUI::CEditUI() {
    textStyle_ = TextStyle::kSingleLine | TextStyle::kVCenter;
    textPadding_ = {4, 3, 4, 3};
    PutBkColor(0xFFFFFFFF);
}

std::string_view CEditUI::TypeName() const { return "EditUI"; }

void* CEditUI::AsInterface(std::string_view name) {
    if (name == "Edit") return this;
    return CLabelUI::AsInterface(name);
}

unsigned CEditUI::Flags() const {
    return Enabled() ? ControlFlag::kSetCursor | ControlFlag::kTabStop : 0;
}

void CEditUI::PutMaxChar(std::size_t maxChar) {
    maxChar_ = maxChar;
    if (Utf8::Length(text_) > maxChar_) ChangeText(text_.substr(0, Utf8::Offset(text_, maxChar_)), maxChar_);
}

std::string CEditUI::DisplayText() const {
    if (!password_) return text_;
    std::string shown;
    for (std::size_t i = Utf8::Length(text_); i > 0; --i) Utf8::Append(shown, passwordChar_);
    return shown;
}

void CEditUI::PutText(const std::string& text) {
    CLabelUI::PutText(text);
    caret_ = Utf8::Length(text_);
}

void CEditUI::ChangeText(std::string text, std::size_t caret) {
    text_ = std::move(text);
    caret_ = caret;
    Invalidate();
    if (manager_ != nullptr) manager_->SendNotification(this, "textchanged");
}

bool CEditUI::InsertCharacter(char32_t character) {
    if (readOnly_ || !Enabled() || character < 0x20 || character == 0x7F) return false;
    if (numberOnly_ && (character < U'0' || character > U'9')) return false;
    if (Utf8::Length(text_) >= maxChar_) return false;
    std::string inserted;
    Utf8::Append(inserted, character);
    std::string text = text_;
    text.insert(Utf8::Offset(text, caret_), inserted);
    ChangeText(std::move(text), caret_ + 1);
    return true;
}

bool CEditUI::OnKeyDown(unsigned key) {
    const std::size_t length = Utf8::Length(text_);
    switch (key) {
    case KeyCode::kReturn:
        if (manager_ != nullptr) manager_->SendNotification(this, "return");
        return true;
    case KeyCode::kLeft:
        if (caret_ > 0) --caret_;
        break;
    case KeyCode::kRight:
        if (caret_ < length) ++caret_;
        break;
    case KeyCode::kHome:
        caret_ = 0;
        break;
    case KeyCode::kEnd:
        caret_ = length;
        break;
    case KeyCode::kBack:
    case KeyCode::kDelete: {
        const std::size_t at = key == KeyCode::kBack ? caret_ - (caret_ > 0 ? 1 : 0) : caret_;
        if (readOnly_ || at >= length || (key == KeyCode::kBack && caret_ == 0)) return true;
        std::string text = text_;
        const std::size_t from = Utf8::Offset(text, at);
        text.erase(from, Utf8::Offset(text, at + 1) - from);
        ChangeText(std::move(text), at);
        return true;
    }
    default:
        return false;
    }
    Invalidate();
    return true;
}

void CEditUI::OnEvent(ControlEvent& event) {
    if (!MouseEnabled() && IsMouseEvent(event.kind)) {
        CLabelUI::OnEvent(event);
        return;
    }
    switch (event.kind) {
    case kEventSetCursor:
        if (manager_ != nullptr) manager_->SetCursor(CursorShape::IBeam);
        return;
    case kEventButtonDown:
    case kEventDoubleClick:
        if (Enabled()) TakeFocus();
        return;
    case kEventMouseEnter:
    case kEventMouseLeave:
        hot_ = event.kind == kEventMouseEnter;
        Invalidate();
        return;
    case kEventKeyDown:
        if (OnKeyDown(static_cast<unsigned>(event.character))) return;
        break;
    case kEventChar:
        InsertCharacter(event.character);
        return;
    case kEventMouseMove:
    case kEventButtonUp:
        return;
    default:
        break;
    }
    CLabelUI::OnEvent(event);
}

void CEditUI::ApplyAttr(std::string_view name, std::string_view value) {
    const std::string text(value);
    if (name == "readonly") {
        readOnly_ = IsTrue(value);
    } else if (name == "numberonly") {
        numberOnly_ = IsTrue(value);
    } else if (name == "password") {
        password_ = IsTrue(value);
    } else if (name == "passwordchar") {
        passwordChar_ = Utf8::First(value);
        if (passwordChar_ == 0) passwordChar_ = U'*';
    } else if (name == "maxchar") {
        const int max = ParseNumberList(value, 1)[0];
        PutMaxChar(max > 0 ? static_cast<std::size_t>(max) : 0);
    } else if (images_.Apply(name, value)) {
    } else if (name == "tipvalue") {
        tipValue_ = text;
    } else if (name == "tipvaluecolor") {
        tipValueColor_ = ParseColorValue(value);
    } else if (name == "nativetextcolor") {
        nativeTextColor_ = ParseColorValue(value);
    } else if (name == "nativebkcolor") {
        nativeBkColor_ = ParseColorValue(value);
    } else {
        CLabelUI::ApplyAttr(name, value);
        return;
    }
    Invalidate();
}

void CEditUI::RenderStateImages(cairo_t* cr, const UIRect& paint) {
    bool drawn = false;
    if (!Enabled()) {
        drawn = DrawImage(cr, paint, images_.disabled);
    } else if (Focused()) {
        drawn = DrawImage(cr, paint, images_.focused);
    } else if (hot_) {
        drawn = DrawImage(cr, paint, images_.hot);
    }
    if (!drawn) DrawImage(cr, paint, images_.normal);
    if (Focused() && nativeBkColor_ != 0) CDrawEngine::DrawColor(cr, Deflate(pos_, {1, 1, 1, 1}), nativeBkColor_);
}

void CEditUI::RenderText(cairo_t* cr, const UIRect&) {
    const UIRect rect = Deflate(pos_, textPadding_);
    if (text_.empty() && !Focused()) {
        DrawTextIn(cr, rect, tipValue_, tipValueColor_, textStyle_ | TextStyle::kSingleLine);
        return;
    }
    const std::uint32_t colour = Focused() && nativeTextColor_ != 0 ? nativeTextColor_ : CurrentTextColor();
    const std::string shown = DisplayText();
    DrawTextIn(cr, rect, shown, colour, textStyle_ | TextStyle::kSingleLine);
    if (!Focused() || manager_ == nullptr || readOnly_) return;
    // The caret: a one-pixel bar after the text up to the caret position.
    const std::string before = shown.substr(0, Utf8::Offset(shown, caret_));
    const int x = rect.left + (before.empty() ? 0 : TextExtent(before, textStyle_).cx);
    const int lineHeight = manager_->TextRenderer().LineHeight(manager_->FontAt(font_));
    const int top = rect.top + (rect.Height() - lineHeight) / 2;
    CDrawEngine::DrawColor(cr, {x, top, x + 1, top + lineHeight}, colour | 0xFF000000);
}

}  // namespace ZembraUI
