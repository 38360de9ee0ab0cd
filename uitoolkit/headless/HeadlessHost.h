#pragma once
// IUIHost without a native window: a stepped clock with native timers, the
// posted delete message, and a record of what the manager asked for
// (capture, cursor, tooltip, drop-down, invalidations). Tests and skinshot
// use it through CHeadlessWindow.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "uitoolkit/manager/UIHost.h"

namespace ZembraUI {

class CUIManager;

class CHeadlessHost : public IUIHost {
public:
    explicit CHeadlessHost(CUIManager& manager) : manager_(manager) {}

    void InvalidateRect(const UIRect& rect) override;
    bool StartNativeTimer(unsigned nativeId, unsigned intervalMs) override;
    void StopNativeTimer(unsigned nativeId) override;
    void PostDeleteMessage() override { deletePosted_ = true; }
    void SetMouseCapture(bool captured) override { captured_ = captured; }
    void SetCursorShape(CursorShape shape) override { cursor_ = shape; }
    void TakeNativeFocus() override { nativeFocus_ = true; }
    bool HasNativeFocus() const override { return nativeFocus_; }
    void TrackMouse(unsigned hoverMs) override { hoverMs_ = hoverMs; }
    void ResizeClient(const UISize& size) override;
    void SetLayered(bool layered, int opacity) override;
    void ShowTooltip(const UIRect& rect, const std::string& text, int maxWidth) override;
    void HideTooltip() override { tooltip_.clear(); }
    void OpenDropDown(CComboUI& combo) override { dropDown_ = &combo; }
    std::string ClipboardText() const override { return clipboard_; }
    void SetClipboardText(const std::string& text) override { clipboard_ = text; }
    void SetTextInputArea(const UIRect& rect) override { textInputArea_ = rect; }
    std::uint32_t TickCount() const override { return now_; }

    // Moves the clock on, delivering every native timer that falls due in
    // order of its due time (a timer due twice ticks twice).
    void AdvanceClock(std::uint32_t ms);
    // Delivers the posted delete message, if any (the end of a loop turn).
    void DeliverPosted();

    bool Captured() const { return captured_; }
    CursorShape Cursor() const { return cursor_; }
    const std::string& TooltipText() const { return tooltip_; }
    int TooltipWidth() const { return tooltipWidth_; }
    CComboUI* DropDown() const { return dropDown_; }
    bool Layered() const { return layered_; }
    int Opacity() const { return opacity_; }
    bool TimerRunning(unsigned nativeId) const { return timers_.count(nativeId) != 0; }
    const std::vector<UIRect>& Invalidated() const { return invalidated_; }
    void ForgetInvalidated() { invalidated_.clear(); }
    void SetNativeFocus(bool focus) { nativeFocus_ = focus; }
    const UIRect& TextInputArea() const { return textInputArea_; }

private:
    struct NativeTimer {
        std::uint32_t interval = 0;
        std::uint32_t due = 0;
    };

    CUIManager& manager_;
    std::uint32_t now_ = 0;
    std::map<unsigned, NativeTimer> timers_;
    std::vector<UIRect> invalidated_;
    bool deletePosted_ = false;
    bool captured_ = false;
    bool nativeFocus_ = false;
    bool layered_ = false;
    int opacity_ = 255;
    unsigned hoverMs_ = 0;
    CursorShape cursor_ = CursorShape::Arrow;
    std::string tooltip_;
    int tooltipWidth_ = 0;
    CComboUI* dropDown_ = nullptr;
    std::string clipboard_;
    UIRect textInputArea_;
};

}  // namespace ZembraUI
