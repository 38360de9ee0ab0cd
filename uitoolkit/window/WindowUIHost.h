#pragma once
// Connects a manager to its SDL window (skin units to device pixels at the
// manager's scale): invalidations to the window's
// surface, native timers to the loop's timer heap, capture, cursor, focus,
// hover tracking, opacity, the tooltip popup and the combo's drop-down.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "uitoolkit/manager/UIHost.h"

namespace ZembraUI {

class CUIManager;
class CHostWindow;
class CTooltipWindow;
class CDropDownWindow;
class CPaintSurface;

class CWindowUIHost : public IUIHost {
public:
    // Window timer ids at and above this belong to the host.
    static constexpr unsigned kNativeTimerBase = 0x10000;
    static constexpr unsigned kHoverTimer = 0x20000;

    // takesFocus: whether the window takes the keyboard when its controls
    // are pressed (a drop-down list leaves it with its owner).
    CWindowUIHost(CHostWindow& window, CUIManager& manager, bool takesFocus = true);
    ~CWindowUIHost() override;
    CWindowUIHost(const CWindowUIHost&) = delete;
    CWindowUIHost& operator=(const CWindowUIHost&) = delete;

    void InvalidateRect(const UIRect& rect) override;
    bool StartNativeTimer(unsigned nativeId, unsigned intervalMs) override;
    void StopNativeTimer(unsigned nativeId) override;
    void PostDeleteMessage() override;
    void SetMouseCapture(bool captured) override;
    void SetCursorShape(CursorShape shape) override;
    void TakeNativeFocus() override;
    bool HasNativeFocus() const override;
    void TrackMouse(unsigned hoverMs) override;
    void ResizeClient(const UISize& size) override;
    void SetLayered(bool layered, int opacity) override;
    void ShowTooltip(const UIRect& rect, const std::string& text, int maxWidth) override;
    void HideTooltip() override;
    void OpenDropDown(CComboUI& combo) override;
    std::string ClipboardText() const override;
    void SetClipboardText(const std::string& text) override;
    void SetTextInputArea(const UIRect& rect) override;
    std::uint32_t TickCount() const override;

    // Paints what the manager has dirty and copies it, with the window's own
    // dirty areas, into the window's surface.
    void PaintInto(CPaintSurface& surface, const std::vector<UIRect>& areas);
    // A host timer fired (ids from kNativeTimerBase); false for other ids.
    bool OnTimer(unsigned id);
    // The pointer moved to point: a requested hover report waits for it to rest.
    void PointerMoved(const UIPoint& point);
    void PointerLeft();
    // The drop-down open now, if any.
    CDropDownWindow* DropDown() const { return dropDown_.get(); }
    void CloseDropDown();
    const CTooltipWindow* Tooltip() const { return tooltip_.get(); }

private:
    CHostWindow& window_;
    CUIManager& manager_;
    bool takesFocus_;
    unsigned hoverMs_ = 0;
    bool tracking_ = false;
    UIPoint lastPoint_;
    std::unique_ptr<CTooltipWindow> tooltip_;
    std::unique_ptr<CDropDownWindow> dropDown_;
};

}  // namespace ZembraUI
