#include "uitoolkit/controls/EditBuffer.h"

#include <algorithm>

#include "uitoolkit/controls/Utf8.h"

namespace ZembraUI {
namespace {

enum class CharClass { Blank, Word, Other };

CharClass ClassOf(char32_t character) {
    if (character == U' ' || character == U'\t' || character == 0x3000) return CharClass::Blank;
    const bool ascii = character < 0x80;
    const bool wordLike = !ascii || (character >= U'0' && character <= U'9') || (character >= U'a' && character <= U'z') ||
                          (character >= U'A' && character <= U'Z') || character == U'_';
    return wordLike ? CharClass::Word : CharClass::Other;
}

}  // namespace

std::string CEditBuffer::SelectedText() const {
    const std::size_t from = ByteOffset(SelectionStart());
    return text_.substr(from, ByteOffset(SelectionEnd()) - from);
}

void CEditBuffer::SetText(std::string text) {
    text_ = std::move(text);
    length_ = Utf8::Length(text_);
    caret_ = anchor_ = length_;
}

void CEditBuffer::MoveCaret(std::size_t position, bool extend) {
    caret_ = std::min(position, length_);
    if (!extend) anchor_ = caret_;
}

void CEditBuffer::SelectAll() {
    anchor_ = 0;
    caret_ = length_;
}

void CEditBuffer::SelectWordAt(std::size_t position) {
    if (length_ == 0) return;
    position = std::min(position, length_ - 1);
    auto classAt = [this](std::size_t index) {
        return ClassOf(Utf8::First(std::string_view(text_).substr(ByteOffset(index))));
    };
    const CharClass kind = classAt(position);
    std::size_t from = position;
    while (from > 0 && classAt(from - 1) == kind) --from;
    std::size_t to = position + 1;
    while (to < length_ && classAt(to) == kind) ++to;
    anchor_ = from;
    caret_ = to;
}

bool CEditBuffer::Replace(std::string_view text) {
    if (text.empty() && !HasSelection()) return false;
    const std::size_t start = SelectionStart();
    Erase(start, SelectionEnd());
    text_.insert(ByteOffset(start), text);
    const std::size_t inserted = Utf8::Length(text);
    length_ += inserted;
    caret_ = anchor_ = start + inserted;
    return true;
}

bool CEditBuffer::EraseBackward() {
    if (HasSelection()) return Replace({});
    if (caret_ == 0) return false;
    Erase(caret_ - 1, caret_);
    return true;
}

bool CEditBuffer::EraseForward() {
    if (HasSelection()) return Replace({});
    if (caret_ >= length_) return false;
    Erase(caret_, caret_ + 1);
    return true;
}

std::size_t CEditBuffer::ByteOffset(std::size_t position) const { return Utf8::Offset(text_, position); }

void CEditBuffer::Erase(std::size_t from, std::size_t to) {
    const std::size_t begin = ByteOffset(from);
    text_.erase(begin, ByteOffset(to) - begin);
    length_ -= to - from;
    caret_ = anchor_ = from;
}

}  // namespace ZembraUI
