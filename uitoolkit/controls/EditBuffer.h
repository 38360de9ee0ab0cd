#pragma once
// The text of a single-line field with its caret and selection. Positions
// count code points; the selection runs between the anchor and the caret
// (the end that moves when it is extended).
#include <cstddef>
#include <string>
#include <string_view>

namespace ZembraUI {

class CEditBuffer {
public:
    const std::string& Text() const { return text_; }
    std::size_t Length() const { return length_; }
    std::size_t Caret() const { return caret_; }
    std::size_t Anchor() const { return anchor_; }
    bool HasSelection() const { return caret_ != anchor_; }
    std::size_t SelectionStart() const { return caret_ < anchor_ ? caret_ : anchor_; }
    std::size_t SelectionEnd() const { return caret_ < anchor_ ? anchor_ : caret_; }
    std::string SelectedText() const;

    // New text; the caret goes to its end and nothing is selected.
    void SetText(std::string text);
    // Moves the caret (clamped to the text); extend keeps the anchor, so the
    // selection grows or shrinks, otherwise the selection is dropped.
    void MoveCaret(std::size_t position, bool extend);
    void SelectAll();
    // Selects the word, the run of blanks or the punctuation at position.
    void SelectWordAt(std::size_t position);
    // Replaces the selection (or inserts at the caret) with text; the caret
    // follows it. False when nothing changed.
    bool Replace(std::string_view text);
    // Backspace and Delete: the selection when there is one, else the
    // character before or after the caret. False when nothing changed.
    bool EraseBackward();
    bool EraseForward();

private:
    std::size_t ByteOffset(std::size_t position) const;
    void Erase(std::size_t from, std::size_t to);

    std::string text_;
    std::size_t length_ = 0;
    std::size_t caret_ = 0;
    std::size_t anchor_ = 0;
};

}  // namespace ZembraUI
