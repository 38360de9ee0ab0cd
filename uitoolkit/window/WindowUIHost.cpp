#include "uitoolkit/window/WindowUIHost.h"

#include <SDL2/SDL.h>

#include <easylogging++.h>

#include "uitoolkit/ScaleMath.h"
#include "uitoolkit/controls/ComboUI.h"
#include "uitoolkit/manager/UIManager.h"
#include "uitoolkit/manager/UIMessage.h"
#include "uitoolkit/window/DropDownWindow.h"
#include "uitoolkit/window/HostWindow.h"
#include "uitoolkit/window/MessageLoop.h"
#include "uitoolkit/window/TooltipWindow.h"
#include "uitoolkit/window/WindowMessages.h"

namespace ZembraUI {

CWindowUIHost::CWindowUIHost(CHostWindow& window, CUIManager& manager, bool takesFocus)
    : window_(window), manager_(manager), takesFocus_(takesFocus) {}

CWindowUIHost::~CWindowUIHost() = default;

void CWindowUIHost::InvalidateRect(const UIRect& rect) { window_.Invalidate(ToDevice(rect, manager_.Scale())); }

bool CWindowUIHost::StartNativeTimer(unsigned nativeId, unsigned intervalMs) {
    return window_.SetTimer(kNativeTimerBase + nativeId, intervalMs);
}

void CWindowUIHost::StopNativeTimer(unsigned nativeId) { window_.KillTimer(kNativeTimerBase + nativeId); }

void CWindowUIHost::PostDeleteMessage() { window_.PostToWindow(WindowMessage::kDeleteScheduled); }

void CWindowUIHost::SetMouseCapture(bool captured) { SDL_CaptureMouse(captured ? SDL_TRUE : SDL_FALSE); }

void CWindowUIHost::SetCursorShape(CursorShape shape) { window_.SetCursor(shape); }

void CWindowUIHost::TakeNativeFocus() {
    if (takesFocus_ && !window_.HasFocus()) window_.TakeFocus();
}

bool CWindowUIHost::HasNativeFocus() const { return window_.HasFocus(); }

void CWindowUIHost::TrackMouse(unsigned hoverMs) {
    hoverMs_ = hoverMs;
    tracking_ = true;
    window_.SetTimer(kHoverTimer, hoverMs_);
}

void CWindowUIHost::PointerMoved(const UIPoint& point) {
    if (tracking_ && !(point == lastPoint_)) window_.SetTimer(kHoverTimer, hoverMs_);
    lastPoint_ = point;
}

void CWindowUIHost::PointerLeft() {
    tracking_ = false;
    window_.KillTimer(kHoverTimer);
}

void CWindowUIHost::ResizeClient(const UISize& size) {
    const UISize device = ToDevice(size, manager_.Scale());
    if (device.cx > 0 && device.cy > 0) window_.Resize(device.cx, device.cy);
}

void CWindowUIHost::SetLayered(bool layered, int opacity) {
    if (SDL_Window* native = window_.NativeWindow()) {
        SDL_SetWindowOpacity(native, layered ? float(opacity) / 255.0f : 1.0f);
    }
}

void CWindowUIHost::ShowTooltip(const UIRect& rect, const std::string& text, int maxWidth) {
    if (!tooltip_) tooltip_ = std::make_unique<CTooltipWindow>();
    const UIRect screen = window_.ScreenRect();
    const UIRect device = ToDevice(rect, manager_.Scale());
    tooltip_->ShowText(text, maxWidth, {screen.left + device.left, screen.top + device.bottom});
}

void CWindowUIHost::HideTooltip() {
    if (tooltip_) tooltip_->Hide();
}

void CWindowUIHost::OpenDropDown(CComboUI& combo) {
    CloseDropDown();
    dropDown_ = std::make_unique<CDropDownWindow>(combo, window_);
    if (dropDown_->Open()) return;
    dropDown_.reset();
    combo.PutDroppedDown(false);
}

void CWindowUIHost::CloseDropDown() {
    // The list may be closing itself from its own handler: the object stays until the next one opens.
    if (dropDown_) dropDown_->Close();
}

std::string CWindowUIHost::ClipboardText() const {
    char* text = SDL_GetClipboardText();
    std::string copy = text != nullptr ? text : "";
    SDL_free(text);
    return copy;
}

void CWindowUIHost::SetClipboardText(const std::string& text) {
    if (SDL_SetClipboardText(text.c_str()) != 0) LOG(INFO) << " Clipboard not set: " << SDL_GetError();
}

void CWindowUIHost::SetTextInputArea(const UIRect& rect) { window_.SetTextInputArea(ToDevice(rect, manager_.Scale())); }

std::uint32_t CWindowUIHost::TickCount() const { return std::uint32_t(CMessageLoop::SteadyMilliseconds()); }

void CWindowUIHost::PaintInto(CPaintSurface& surface, const std::vector<UIRect>& areas) {
    std::vector<UIRect> painted = manager_.Paint();
    painted.insert(painted.end(), areas.begin(), areas.end());
    cairo_surface_t* picture = manager_.Surface().Surface();
    if (picture == nullptr) return;
    for (const UIRect& area : painted) {
        cairo_t* cr = surface.BeginPaint(area);
        if (cr == nullptr) continue;
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_set_source_surface(cr, picture, 0, 0);
        cairo_paint(cr);
        cairo_destroy(cr);
    }
}

bool CWindowUIHost::OnTimer(unsigned id) {
    if (id == kHoverTimer) {
        window_.KillTimer(kHoverTimer);
        if (!tracking_) return true;
        tracking_ = false;
        UIMessage hover;
        hover.kind = UIMessageKind::MouseHover;
        hover.point = lastPoint_;
        manager_.HandleEvent(hover);
        return true;
    }
    if (id < kNativeTimerBase || id >= kHoverTimer) return false;
    UIMessage tick;
    tick.kind = UIMessageKind::Timer;
    tick.timerId = id - kNativeTimerBase;
    manager_.HandleEvent(tick);
    return true;
}

}  // namespace ZembraUI
