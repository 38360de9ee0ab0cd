#include "uitoolkit/controls/EditUI.h"

#include <algorithm>
#include <cstdlib>

#include "uitoolkit/RectMath.h"
#include "uitoolkit/controls/Utf8.h"
#include "uitoolkit/manager/UIManager.h"
#include "uitoolkit/markup/ColorValue.h"
#include "uitoolkit/markup/NumberList.h"
#include "uitoolkit/render/DrawEngine.h"
#include "uitoolkit/text/TextStyle.h"

namespace ZembraUI {
namespace {

constexpr std::uint32_t kDefaultSelectionColor = 0xFFBAE4FF;

// text with insert placed at the character position.
std::string Inserted(const std::string& text, std::size_t position, const std::string& insert) {
    std::string joined = text;
    joined.insert(Utf8::Offset(joined, position), insert);
    return joined;
}

std::string Masked(std::size_t length, char32_t mask) {
    std::string shown;
    for (std::size_t i = length; i > 0; --i) Utf8::Append(shown, mask);
    return shown;
}

}  // namespace

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
    if (buffer_.Length() <= maxChar_) return;
    buffer_.SetText(text_.substr(0, Utf8::Offset(text_, maxChar_)));
    TextEdited();
}

std::string CEditUI::DisplayText() const { return password_ ? Masked(buffer_.Length(), passwordChar_) : text_; }

void CEditUI::SetSelection(std::size_t anchor, std::size_t caret) {
    buffer_.MoveCaret(anchor, false);
    buffer_.MoveCaret(caret, true);
    CaretMoved();
}

void CEditUI::PutComposition(const std::string& utf8, std::size_t cursor) {
    if (readOnly_ && !utf8.empty()) return;
    composition_ = utf8;
    compositionCursor_ = std::min(cursor, Utf8::Length(utf8));
    CaretMoved();
}

void CEditUI::PutText(const std::string& text) {
    CLabelUI::PutText(text);
    buffer_.SetText(text_);
    // A new text shows from its start until the caret moves.
    scrollX_ = 0;
}

bool CEditUI::Accepts(char32_t character) const {
    if (readOnly_ || !Enabled() || character < 0x20 || character == 0x7F) return false;
    return !numberOnly_ || (character >= U'0' && character <= U'9');
}

bool CEditUI::InsertCharacter(char32_t character) {
    std::string text;
    Utf8::Append(text, character);
    return Accepts(character) && InsertText(text);
}

bool CEditUI::InsertText(std::string_view utf8) {
    const std::size_t kept = buffer_.Length() - (buffer_.SelectionEnd() - buffer_.SelectionStart());
    std::size_t room = maxChar_ > kept ? maxChar_ - kept : 0;
    std::string accepted;
    for (std::size_t offset = 0; offset < utf8.size() && room > 0;) {
        const std::size_t next = Utf8::Offset(utf8.substr(offset), 1);
        const char32_t character = Utf8::First(utf8.substr(offset));
        if (Accepts(character)) {
            accepted.append(utf8.substr(offset, next));
            --room;
        }
        offset += next;
    }
    if (accepted.empty() || !buffer_.Replace(accepted)) return false;
    TextEdited();
    return true;
}

void CEditUI::TextEdited() {
    text_ = buffer_.Text();
    // The caret stays on while typing.
    if (manager_ != nullptr && Focused() && !readOnly_) manager_->StartCaret(this);
    CaretMoved();
    if (manager_ != nullptr) manager_->SendNotification(this, "textchanged");
}

void CEditUI::CaretMoved() {
    KeepCaretInView();
    Invalidate();
    if (manager_ != nullptr && manager_->Host() != nullptr && Focused()) {
        manager_->Host()->SetTextInputArea(CaretRect());
    }
}

bool CEditUI::OnClipboardKey(unsigned key) {
    IUIHost* host = manager_ != nullptr ? manager_->Host() : nullptr;
    const bool copyable = !password_ && buffer_.HasSelection() && host != nullptr;
    switch (key) {
    case 'A':
        buffer_.SelectAll();
        CaretMoved();
        return true;
    case 'C':
        // A password never leaves the field.
        if (copyable) host->SetClipboardText(buffer_.SelectedText());
        return true;
    case 'X':
        if (!copyable) return true;
        host->SetClipboardText(buffer_.SelectedText());
        if (!readOnly_ && buffer_.Replace({})) TextEdited();
        return true;
    case 'V':
        if (host != nullptr) InsertText(host->ClipboardText());
        return true;
    default:
        return false;
    }
}

bool CEditUI::OnKeyDown(unsigned key, std::uint16_t keyState) {
    if ((keyState & KeyState::kControl) != 0 && OnClipboardKey(key)) return true;
    const bool extend = (keyState & KeyState::kShift) != 0;
    const bool collapse = buffer_.HasSelection() && !extend;
    switch (key) {
    case KeyCode::kReturn:
        if (manager_ != nullptr) manager_->SendNotification(this, "return");
        return true;
    case KeyCode::kLeft:
        buffer_.MoveCaret(collapse ? buffer_.SelectionStart() : buffer_.Caret() - (buffer_.Caret() > 0 ? 1 : 0),
                          extend);
        break;
    case KeyCode::kRight:
        buffer_.MoveCaret(collapse ? buffer_.SelectionEnd() : buffer_.Caret() + 1, extend);
        break;
    case KeyCode::kHome:
        buffer_.MoveCaret(0, extend);
        break;
    case KeyCode::kEnd:
        buffer_.MoveCaret(buffer_.Length(), extend);
        break;
    case KeyCode::kBack:
    case KeyCode::kDelete:
        if (!readOnly_ && (key == KeyCode::kBack ? buffer_.EraseBackward() : buffer_.EraseForward())) TextEdited();
        return true;
    default:
        return false;
    }
    CaretMoved();
    return true;
}

UIRect CEditUI::TextRect() const { return Deflate(pos_, textPadding_); }

std::string CEditUI::ShownText() const {
    const std::string composing = password_ ? Masked(Utf8::Length(composition_), passwordChar_) : composition_;
    return Inserted(DisplayText(), buffer_.Caret(), composing);
}

void CEditUI::KeepCaretInView() {
    if (manager_ == nullptr) return;
    const std::string shown = ShownText();
    const int caret = OffsetOf(shown, buffer_.Caret() + (composition_.empty() ? 0 : compositionCursor_));
    const int end = OffsetOf(shown, Utf8::Length(shown));
    const int width = std::max(TextRect().Width() - 1, 0);
    scrollX_ = std::clamp(scrollX_, std::max(caret - width, 0), caret);
    // No gap after the end of the text when it gets shorter.
    scrollX_ = std::min(scrollX_, std::max(end - width, 0));
}

int CEditUI::OffsetOf(const std::string& shown, std::size_t position) {
    const std::string before = shown.substr(0, Utf8::Offset(shown, position));
    return before.empty() ? 0 : TextExtent(before, textStyle_).cx;
}

std::size_t CEditUI::PositionAt(int x) {
    const std::string shown = DisplayText();
    const int left = TextLeft();
    std::size_t best = 0;
    int bestDistance = std::abs(x - left);
    for (std::size_t position = 1; position <= buffer_.Length(); ++position) {
        const int distance = std::abs(x - left - OffsetOf(shown, position));
        if (distance > bestDistance) break;  // the boundaries only move away from here on
        best = position;
        bestDistance = distance;
    }
    return best;
}

UIRect CEditUI::CaretRect() {
    const UIRect rect = TextRect();
    const int x = TextLeft() + OffsetOf(ShownText(), buffer_.Caret() + (composition_.empty() ? 0 : compositionCursor_));
    const int lineHeight = manager_ != nullptr ? manager_->TextRenderer().LineHeight(manager_->FontAt(font_)) : 0;
    const int top = rect.top + (rect.Height() - lineHeight) / 2;
    return {x, top, x + 1, top + lineHeight};
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
        if (!Enabled()) return;
        TakeFocus();
        buffer_.MoveCaret(PositionAt(event.mouse.x), (event.keyState & KeyState::kShift) != 0);
        selecting_ = true;
        CaretMoved();
        return;
    case kEventDoubleClick: {
        if (!Enabled()) return;
        TakeFocus();
        std::size_t position = PositionAt(event.mouse.x);
        // The character under the pointer, not the boundary nearest to it.
        if (position > 0 && TextLeft() + OffsetOf(DisplayText(), position) > event.mouse.x) --position;
        if (password_) {
            buffer_.SelectAll();
        } else {
            buffer_.SelectWordAt(position);
        }
        CaretMoved();
        return;
    }
    case kEventMouseMove:
        if (selecting_) {
            buffer_.MoveCaret(PositionAt(event.mouse.x), true);
            CaretMoved();
        }
        return;
    case kEventButtonUp:
        selecting_ = false;
        return;
    case kEventSetFocus:
        // Tabbing into a field selects its text; a press places the caret right after.
        buffer_.SelectAll();
        if (manager_ != nullptr && !readOnly_) manager_->StartCaret(this);
        CaretMoved();
        break;
    case kEventKillFocus:
        selecting_ = false;
        composition_.clear();
        if (manager_ != nullptr) manager_->StopCaret(this);
        Invalidate();
        break;
    case kEventMouseEnter:
    case kEventMouseLeave:
        hot_ = event.kind == kEventMouseEnter;
        Invalidate();
        return;
    case kEventKeyDown:
        if (manager_ != nullptr && Focused() && !readOnly_) manager_->StartCaret(this);
        if (OnKeyDown(static_cast<unsigned>(event.character), event.keyState)) return;
        break;
    case kEventChar:
        // Committed text takes the place of what the input method was composing.
        composition_.clear();
        InsertCharacter(event.character);
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
    const UIRect rect = TextRect();
    if (text_.empty() && composition_.empty() && !Focused()) {
        DrawTextIn(cr, rect, tipValue_, tipValueColor_, textStyle_ | TextStyle::kSingleLine);
        return;
    }
    const std::uint32_t colour = Focused() && nativeTextColor_ != 0 ? nativeTextColor_ : CurrentTextColor();
    const std::string shown = ShownText();
    const int left = TextLeft();
    const UIRect caret = CaretRect();
    // A scrolled text is cut at the field's edges.
    cairo_save(cr);
    cairo_rectangle(cr, rect.left, rect.top, rect.Width(), rect.Height());
    cairo_clip(cr);
    if (Focused() && buffer_.HasSelection() && composition_.empty() && manager_ != nullptr) {
        const UIRect selection{left + OffsetOf(shown, buffer_.SelectionStart()), caret.top,
                               left + OffsetOf(shown, buffer_.SelectionEnd()), caret.bottom};
        std::uint32_t fill = manager_->Window().selectedBkColor;
        // A skin colour without alpha would hide the selection.
        if ((fill >> 24) == 0) fill = kDefaultSelectionColor;
        CDrawEngine::DrawColor(cr, selection, fill);
    }
    DrawTextIn(cr, {left, rect.top, rect.right, rect.bottom}, shown, colour, textStyle_ | TextStyle::kSingleLine);
    if (!composition_.empty()) {
        // Composed text is underlined until the input method commits it.
        const int from = left + OffsetOf(shown, buffer_.Caret());
        const int to = left + OffsetOf(shown, buffer_.Caret() + Utf8::Length(composition_));
        CDrawEngine::DrawColor(cr, {from, caret.bottom - 1, to, caret.bottom}, colour | 0xFF000000);
    }
    if (Focused() && manager_ != nullptr && !readOnly_ && manager_->CaretVisible()) {
        CDrawEngine::DrawColor(cr, caret, colour | 0xFF000000);
    }
    cairo_restore(cr);
}

}  // namespace ZembraUI
