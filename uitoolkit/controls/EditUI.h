#pragma once
// A single-line text field: the text model (limits, number-only, password,
// read-only, caret), its drawing, and typing through key and character
// events. Changes send "textchanged", Enter sends "return".
#include <cstddef>
#include <cstdint>
#include <string>

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
    std::size_t Caret() const { return caret_; }
    // The text as shown: password characters instead of the text.
    std::string DisplayText() const;

    void PutText(const std::string& text) override;
    // Typing at the caret; false when the field refuses the character.
    bool InsertCharacter(char32_t character);
    void OnEvent(ControlEvent& event) override;
    void ApplyAttr(std::string_view name, std::string_view value) override;
    void RenderStateImages(cairo_t* cr, const UIRect& paint) override;
    void RenderText(cairo_t* cr, const UIRect& paint) override;

private:
    void ChangeText(std::string text, std::size_t caret);
    bool OnKeyDown(unsigned key);

    bool readOnly_ = false;
    bool numberOnly_ = false;
    bool password_ = false;
    char32_t passwordChar_ = U'*';
    std::size_t maxChar_ = 255;
    std::size_t caret_ = 0;
    bool hot_ = false;
    StateImages images_;
    std::string tipValue_;
    std::uint32_t tipValueColor_ = 0xFFBABABA;
    std::uint32_t nativeTextColor_ = 0;
    std::uint32_t nativeBkColor_ = 0;
};

}  // namespace ZembraUI
