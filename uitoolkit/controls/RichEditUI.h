#pragma once
// A holder of long rich-text strings (the skins keep licence texts in
// hidden ones). It stores its text and attributes and draws the text
// word-wrapped when shown; editing is not offered.
#include <cstdint>
#include <string>

#include "uitoolkit/controls/ControlUI.h"
#include "uitoolkit/controls/StateImages.h"

namespace ZembraUI {

class CRichEditUI : public CControlUI {
public:
    CRichEditUI();

    std::string_view TypeName() const override;
    void* AsInterface(std::string_view name) override;

    bool ReadOnly() const { return readOnly_; }
    bool Rich() const { return rich_; }
    bool MultiLine() const { return multiLine_; }
    bool WantTab() const { return wantTab_; }
    std::size_t MaxChar() const { return maxChar_; }

    void PutText(const std::string& text) override;
    void ApplyAttr(std::string_view name, std::string_view value) override;
    void RenderText(cairo_t* cr, const UIRect& paint) override;

private:
    bool readOnly_ = false;
    bool rich_ = true;
    bool multiLine_ = true;
    bool wantTab_ = true;
    bool wantReturn_ = true;
    bool wantCtrlReturn_ = true;
    bool password_ = false;
    bool vScroll_ = false;
    bool hScroll_ = false;
    bool autoVScroll_ = false;
    bool autoHScroll_ = false;
    std::size_t maxChar_ = 30000;
    int font_ = -1;
    unsigned textStyle_;
    std::uint32_t textColor_ = 0;
    UIRect textPadding_;
    std::string tipValue_;
    std::uint32_t tipValueColor_ = 0xFFBABABA;
    StateImages images_;
};

}  // namespace ZembraUI
