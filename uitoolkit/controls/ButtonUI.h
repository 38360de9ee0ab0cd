#pragma once
// A push button: state images for normal, hot, pushed, focused and
// disabled, fore images on top, text colours per state. A click (press and
// release inside, or Space/Enter) sends "click".
#include <cstdint>
#include <string>

#include "uitoolkit/controls/LabelUI.h"
#include "uitoolkit/controls/StateImages.h"

namespace ZembraUI {

// Button state bits, shared by options and check boxes.
namespace ButtonState {
constexpr unsigned kFocused = 0x01;
constexpr unsigned kSelected = 0x02;
constexpr unsigned kDisabled = 0x04;
constexpr unsigned kHot = 0x08;
constexpr unsigned kPushed = 0x10;
constexpr unsigned kCaptured = 0x40;
}  // namespace ButtonState

class CButtonUI : public CLabelUI {
public:
    CButtonUI();

    std::string_view TypeName() const override;
    void* AsInterface(std::string_view name) override;
    unsigned Flags() const override;
    bool Fire() override;

    unsigned State() const { return state_; }
    void PutEnabled(bool enabled) override;
    void OnEvent(ControlEvent& event) override;
    void ApplyAttr(std::string_view name, std::string_view value) override;
    void RenderStateImages(cairo_t* cr, const UIRect& paint) override;
    void RenderText(cairo_t* cr, const UIRect& paint) override;

protected:
    std::uint32_t CurrentTextColor() const override;
    // Draws the fore image for the current state (pushed/hot variants first).
    void RenderForeImage(cairo_t* cr, const UIRect& paint);
    void SetStateBit(unsigned bit, bool on);

    unsigned state_ = 0;
    StateImages images_;
    std::string foreImage_;
    std::string hotForeImage_;
    std::string pushedForeImage_;
    std::uint32_t hotBkColor_ = 0;
    std::uint32_t hotTextColor_ = 0;
    std::uint32_t pushedTextColor_ = 0;
    std::uint32_t focusedTextColor_ = 0;
};

}  // namespace ZembraUI
