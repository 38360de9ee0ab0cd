#pragma once
// A frameless native window that shows a paint surface. It turns native
// input into the calls below, drags itself by its caption band, keeps its
// rounded shape and its per-pixel alpha, and takes messages and timers
// through the UI thread's loop. A window with controls derives from it and
// overrides the On... handlers: they all run on the UI thread.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/X11Desktop.h"
#include "uitoolkit/Geometry.h"
#include "uitoolkit/controls/ControlEvent.h"
#include "uitoolkit/render/PaintSurface.h"
#include "uitoolkit/window/CursorSet.h"
#include "uitoolkit/window/FrameHitTest.h"
#include "uitoolkit/window/HostWindowId.h"

struct SDL_Window;
union SDL_Event;

namespace ZembraUI {

class CMessageLoop;

enum class PopupKind { None, Tooltip, DropDown };

struct HostWindowOptions {
    static constexpr int kCentred = 0x2FFF0000;  // centred on the screen
    std::string title;
    int x = kCentred;  // screen position of the top-left corner
    int y = kCentred;
    int width = 0;
    int height = 0;
    bool perPixelAlpha = false;  // see through where the surface's alpha is 0
    PopupKind popup = PopupKind::None;
    bool resizable = false;
};

// Mouse key state bits, as controls receive them (ControlEvent.h), and the middle button.
namespace KeyState {
constexpr std::uint16_t kMiddleButton = 0x10;
}  // namespace KeyState

struct MouseInput {
    UIPoint point;        // client coordinates
    int button = 0;       // 1 left, 2 middle, 3 right; 0 for moves
    bool pressed = false;
    int clicks = 0;       // 2 for a double click
    unsigned keyState = 0;
};

struct KeyInput {
    unsigned virtualKey = 0;  // VirtualKey codes (KeyCodes.h)
    unsigned keyState = 0;    // KeyState kShift, kControl, kAlt
    bool pressed = false;
    bool repeat = false;
};

class CHostWindow {
public:
    CHostWindow() = default;
    virtual ~CHostWindow();
    CHostWindow(const CHostWindow&) = delete;
    CHostWindow& operator=(const CHostWindow&) = delete;

    // Makes the native window, hidden, on the current loop's thread. False
    // (logged) without a started loop or when the platform refuses.
    bool Create(const HostWindowOptions& options);
    // Destroys the native window; OnDestroyed follows. Timers stop, and
    // messages still on their way are dropped.
    void Destroy();
    bool IsAlive() const { return window_ != nullptr; }
    // Stays valid (and unique) after the window is gone.
    HostWindowId Id() const { return id_; }

    void Show(bool show, bool activate = true);
    bool IsVisible() const;
    UIRect ScreenRect() const;  // position and size on the screen
    UISize ClientSize() const;
    void Move(int x, int y);
    void Resize(int width, int height);
    bool IsMaximized() const;
    bool IsMinimized() const;
    // Minimise, maximise to the work area, restore. Without a window manager
    // maximising is done here: the window fills the usable bounds of its display.
    void Minimize();
    void Maximize();
    void Restore();
    // Takes the keyboard focus (raising the window).
    void TakeFocus();
    bool HasFocus() const;
    // The usable bounds of the display the window is on (the whole screen
    // without panels), or of the first display when there is no window.
    UIRect WorkArea() const;
    // Where text input (an input method's candidates) appears, in client coordinates.
    void SetTextInputArea(const UIRect& rect);

    // Any thread (see PostToWindow and SendToWindow).
    bool PostToWindow(unsigned message, std::uintptr_t wParam = 0, std::intptr_t lParam = 0) const;
    std::intptr_t SendToWindow(unsigned message, std::uintptr_t wParam = 0, std::intptr_t lParam = 0) const;

    // Window timers; OnTimer runs on the UI thread. Setting a running timer restarts it.
    bool SetTimer(unsigned id, unsigned periodMs);
    bool KillTimer(unsigned id);

    // The window's picture. Invalidated areas are painted (OnPaint) and shown
    // at the end of the loop's turn.
    CPaintSurface& Surface() { return surface_; }
    void Invalidate(const UIRect& rect) { surface_.Invalidate(rect); }

    // The frame: resize borders, the caption band (left and right are
    // margins, top and bottom distances from the top edge), and the corner
    // ellipse of a rounded window (re-applied at every size). These are skin
    // sizes, shown at Scale(); everything else here is in device pixels.
    void SetSizeBox(const UIRect& sizeBox);
    void SetCaption(const UIRect& caption) { caption_ = caption; }
    void SetRoundCorner(int width, int height);
    // point in device pixels.
    FrameArea HitTest(const UIPoint& point);

    void SetCursor(CursorShape shape);
    // The desktop's scale (1 normally, 2 on a double-density screen).
    double Scale() const;
    // Per-pixel alpha shows through a compositor; without one the window's
    // shape is cut from the surface's alpha instead.
    bool HasAlphaVisual() const { return alphaVisual_; }
    // A window manager moves the window by its caption; without one the window drags itself.
    bool WindowManagerRunning() const { return windowManager_; }
    SDL_Window* NativeWindow() const { return window_; }

protected:
    // Messages posted or sent to the window; the answer goes to a sender.
    virtual std::intptr_t OnMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);
    virtual void OnTimer(unsigned id);
    // Paints areas (already coalesced, inside the surface) into surface.
    virtual void OnPaint(CPaintSurface& surface, const std::vector<UIRect>& areas);
    virtual void OnMouseMove(const MouseInput& input);
    virtual void OnMouseButton(const MouseInput& input);
    virtual void OnMouseWheel(int delta, const MouseInput& input);  // delta > 0: away from the user
    virtual void OnMouseLeave();
    virtual void OnKey(const KeyInput& input);
    virtual void OnTextInput(const std::string& utf8);
    virtual void OnTextEditing(const std::string& utf8, int start, int length);
    virtual void OnFocus(bool gained);
    virtual void OnSize(int width, int height);
    virtual void OnMoved(int x, int y);
    // The window manager's close (Alt+F4 and the like); by default the window is destroyed.
    virtual void OnCloseRequest();
    // A press on the caption band starts moving the window (the press itself
    // reaches no control).
    virtual void OnCaptionDrag();
    virtual void OnDestroyed();
    // Whether a press at this point (skin units) of the caption band drags
    // the window; a window with controls answers false over buttons and
    // other clickable ones.
    virtual bool IsDragArea(const UIPoint& point);

private:
    friend class CMessageLoop;
    // Called by the loop on the UI thread.
    std::intptr_t DeliverMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);
    void DeliverTimer(unsigned id) { OnTimer(id); }
    void HandleEvent(const SDL_Event& event);
    bool NeedsPaint() const { return exposed_ || surface_.HasDirty(); }
    void PaintPending();
    void LoopGone();

    void HandleWindowEvent(const SDL_Event& event);
    void HandleButton(const SDL_Event& event);
    void HandleMotion(const SDL_Event& event);
    void HandleKey(const SDL_Event& event);
    void SizeChanged(int width, int height);
    void Present(const std::vector<UIRect>& areas);
    void ApplyShape();
    void UpdateAlphaShape();
    void ShowFrameCursor(FrameArea area);
    UISize DeviceRoundCorner() const;
    void FollowPointer();
    void ReleaseNative();

    CMessageLoop* loop_ = nullptr;
    SDL_Window* window_ = nullptr;
    unsigned long xWindow_ = 0;
    HostWindowId id_ = kNoHostWindow;
    CPaintSurface surface_;
    UIRect sizeBox_;
    UIRect caption_;
    UISize roundCorner_;
    bool windowManager_ = false;
    bool alphaVisual_ = false;
    bool shapeFromAlpha_ = false;
    bool shaped_ = false;
    bool borderCursor_ = false;
    std::vector<platform::ShapeRect> alphaShape_;
    bool exposed_ = false;
    bool dragging_ = false;
    UIPoint dragPointer_;  // screen position of the press that began the drag
    UIPoint dragOrigin_;   // window position then
    bool maximizedHere_ = false;  // maximised without a window manager
    UIRect restoreRect_;          // the rectangle to restore to then
};

}  // namespace ZembraUI
