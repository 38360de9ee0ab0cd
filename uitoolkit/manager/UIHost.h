#pragma once
// What a manager needs from the window it paints for. The SDL window host
// implements it for real windows, CHeadlessHost for tests and screenshots.
// Everything is called on the UI thread.
#include <cstdint>
#include <string>

#include "uitoolkit/Geometry.h"

namespace ZembraUI {

class CComboUI;

// The frame's resize shapes are the window host's own; kCount ends the list.
enum class CursorShape { Arrow, Hand, IBeam, SizeWE, SizeNS, SizeNWSE, SizeNESW, kCount };

class IUIHost {
public:
    virtual ~IUIHost() = default;

    // Part of the window must be painted again: the host calls
    // CUIManager::Paint at the end of the loop's turn and presents what it
    // returns.
    virtual void InvalidateRect(const UIRect& rect) = 0;
    // A native timer: the host sends UIMessageKind::Timer with this id every
    // interval until stopped. False when it cannot start one.
    virtual bool StartNativeTimer(unsigned nativeId, unsigned intervalMs) = 0;
    virtual void StopNativeTimer(unsigned nativeId) = 0;
    // Deliver UIMessageKind::DeleteScheduled at a later turn of the loop.
    virtual void PostDeleteMessage() = 0;

    virtual void SetMouseCapture(bool captured) = 0;
    virtual void SetCursorShape(CursorShape shape) = 0;
    virtual void TakeNativeFocus() = 0;
    virtual bool HasNativeFocus() const = 0;
    // Report MouseHover after the pointer rests for hoverMs, and MouseLeave
    // when it leaves the window, once each.
    virtual void TrackMouse(unsigned hoverMs) = 0;
    // Resize the window's client area (the initial size of a layout).
    virtual void ResizeClient(const UISize& size) = 0;
    // Window-wide constant opacity and per-pixel alpha (layered) painting.
    virtual void SetLayered(bool layered, int opacity) = 0;

    virtual void ShowTooltip(const UIRect& rect, const std::string& text, int maxWidth) = 0;
    virtual void HideTooltip() = 0;
    // A combo asks for its drop-down list; hosts without popups ignore it.
    virtual void OpenDropDown(CComboUI& combo) = 0;

    // The desktop's clipboard (UTF-8 text; empty when it holds none).
    virtual std::string ClipboardText() const = 0;
    virtual void SetClipboardText(const std::string& text) = 0;
    // Where text is being typed (the caret of the focused field, client
    // coordinates): an input method shows its candidates beside it.
    virtual void SetTextInputArea(const UIRect& rect) = 0;

    // Milliseconds of the host's clock (tests step it).
    virtual std::uint32_t TickCount() const = 0;
};

}  // namespace ZembraUI
