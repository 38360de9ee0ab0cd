#pragma once
// A single-line text field: the text model (limits, number-only, password,
// read-only, caret and selection), its drawing, typing through key and
// character events, selecting with the mouse and Shift, the clipboard keys
// and an input method's composition. Changes send "textchanged", Enter
// sends "return".
#include <cstddef>
#include <cstdint>
#include <string>

#include "uitoolkit/controls/EditBuffer.h"
#include "uitoolkit/controls/LabelUI.h"
#include "uitoolkit/controls/StateImages.h"

namespace ZembraUI {

class CEditUI : public CLabelUI {
public:
    CEditUI();

    std::string_view TypeName() const override;
    void* AsInterface(std::string_view name) override;
    unsigned Flags() const override;

    bool ReadOnly() const { return readOnly_; }
    void PutReadOnly(bool readOnly) { readOnly_ = readOnly; }
    bool NumberOnly() const { return numberOnly_; }
    bool Password() const { return password_; }
    // Longest text in characters (code points).
    std::size_t MaxChar() const { return maxChar_; }
    void PutMaxChar(std::size_t maxChar);
    // Caret position in characters.
    std::size_t Caret() const { return buffer_.Caret(); }
    // The text as shown: password characters instead of the text.
    std::string DisplayText() const;

    // The selection, in characters from its start to its end (equal: none).
    std::size_t SelectionStart() const { return buffer_.SelectionStart(); }
    std::size_t SelectionEnd() const { return buffer_.SelectionEnd(); }
    std::string SelectedText() const { return buffer_.SelectedText(); }
    // anchor stays put and caret moves when the selection is extended.
    void SetSelection(std::size_t anchor, std::size_t caret);

    // An input method's text being composed: shown at the caret, underlined,
    // not yet part of the text (empty ends it). cursor counts characters
    // into it.
    void PutComposition(const std::string& utf8, std::size_t cursor);
    const std::string& Composition() const { return composition_; }
    // Where the caret stands now, in client coordinates.
    UIRect CaretRect();

    void PutText(const std::string& text) override;
    // Typing at the caret (over the selection); false when the field
    // refuses the character.
    bool InsertCharacter(char32_t character);
    // Typing a whole text (a paste): characters the field refuses are left
    // out and the rest is cut at the length limit. False when nothing changed.
    bool InsertText(std::string_view utf8);
    void OnEvent(ControlEvent& event) override;
    void ApplyAttr(std::string_view name, std::string_view value) override;
    void RenderStateImages(cairo_t* cr, const UIRect& paint) override;
    void RenderText(cairo_t* cr, const UIRect& paint) override;

private:
    bool Accepts(char32_t character) const;
    void TextEdited();
    void CaretMoved();
    bool OnKeyDown(unsigned key, std::uint16_t keyState);
    bool OnClipboardKey(unsigned key);
    std::size_t PositionAt(int x);
    int OffsetOf(const std::string& shown, std::size_t position);
    UIRect TextRect() const;
    // Where the text starts: left of the field when it is scrolled.
    int TextLeft() const { return TextRect().left - scrollX_; }
    // The text as drawn: the display text with the composition at the caret.
    std::string ShownText() const;
    // Scrolls a text wider than the field so the caret stays in view.
    void KeepCaretInView();

    bool readOnly_ = false;
    bool numberOnly_ = false;
    bool password_ = false;
    char32_t passwordChar_ = U'*';
    std::size_t maxChar_ = 255;
    CEditBuffer buffer_;
    std::string composition_;
    std::size_t compositionCursor_ = 0;
    bool selecting_ = false;  // the left button is down and drags the selection
    int scrollX_ = 0;         // pixels of text hidden left of the field
    bool hot_ = false;
    StateImages images_;
    std::string tipValue_;
    std::uint32_t tipValueColor_ = 0xFFBABABA;
    std::uint32_t nativeTextColor_ = 0;
    std::uint32_t nativeBkColor_ = 0;
};

}  // namespace ZembraUI
