#include "uitoolkit/window/HostWindow.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <string>

#include <easylogging++.h>

#include "uitoolkit/ScaleMath.h"
#include "uitoolkit/window/KeyCodes.h"
#include "uitoolkit/window/MessageLoop.h"
#include "uitoolkit/window/NativeHandle.h"

namespace ZembraUI {
namespace {

constexpr int kMaxWindowSide = 16384;
static_assert(HostWindowOptions::kCentred == SDL_WINDOWPOS_CENTERED);

SDL_HitTestResult SdlHitTest(SDL_Window*, const SDL_Point* point, void* data) {
    switch (static_cast<CHostWindow*>(data)->HitTest({point->x, point->y})) {
        case FrameArea::Caption: return SDL_HITTEST_DRAGGABLE;
        case FrameArea::Left: return SDL_HITTEST_RESIZE_LEFT;
        case FrameArea::Right: return SDL_HITTEST_RESIZE_RIGHT;
        case FrameArea::Top: return SDL_HITTEST_RESIZE_TOP;
        case FrameArea::TopLeft: return SDL_HITTEST_RESIZE_TOPLEFT;
        case FrameArea::TopRight: return SDL_HITTEST_RESIZE_TOPRIGHT;
        case FrameArea::Bottom: return SDL_HITTEST_RESIZE_BOTTOM;
        case FrameArea::BottomLeft: return SDL_HITTEST_RESIZE_BOTTOMLEFT;
        case FrameArea::BottomRight: return SDL_HITTEST_RESIZE_BOTTOMRIGHT;
        default: return SDL_HITTEST_NORMAL;
    }
}

CursorShape CursorFor(FrameArea area) {
    switch (area) {
        case FrameArea::Left:
        case FrameArea::Right: return CursorShape::SizeWE;
        case FrameArea::Top:
        case FrameArea::Bottom: return CursorShape::SizeNS;
        case FrameArea::TopLeft:
        case FrameArea::BottomRight: return CursorShape::SizeNWSE;
        case FrameArea::TopRight:
        case FrameArea::BottomLeft: return CursorShape::SizeNESW;
        default: return CursorShape::Arrow;
    }
}

unsigned KeyStateOf(std::uint16_t modifiers) {
    unsigned state = 0;
    if ((modifiers & KMOD_SHIFT) != 0) state |= KeyState::kShift;
    if ((modifiers & KMOD_CTRL) != 0) state |= KeyState::kControl;
    if ((modifiers & KMOD_ALT) != 0) state |= KeyState::kAlt;
    return state;
}

unsigned CurrentKeyState() {
    const std::uint32_t buttons = SDL_GetMouseState(nullptr, nullptr);
    unsigned state = KeyStateOf(std::uint16_t(SDL_GetModState()));
    if ((buttons & SDL_BUTTON_LMASK) != 0) state |= KeyState::kLeftButton;
    if ((buttons & SDL_BUTTON_RMASK) != 0) state |= KeyState::kRightButton;
    if ((buttons & SDL_BUTTON_MMASK) != 0) state |= KeyState::kMiddleButton;
    return state;
}

std::uint32_t CreationFlags(const HostWindowOptions& options) {
    std::uint32_t flags = SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS;
    if (options.resizable) flags |= SDL_WINDOW_RESIZABLE;
    if (options.popup == PopupKind::Tooltip) flags |= SDL_WINDOW_TOOLTIP | SDL_WINDOW_SKIP_TASKBAR;
    if (options.popup == PopupKind::DropDown) flags |= SDL_WINDOW_POPUP_MENU | SDL_WINDOW_SKIP_TASKBAR;
    return flags;
}

// A 32-bit visual shows per-pixel alpha only when a compositor blends it;
// without one its transparent pixels would show black.
bool UseAlphaVisual(platform::X11Desktop& desktop) {
    const auto visual = desktop.CompositorRunning() ? desktop.ArgbVisualId() : std::nullopt;
    if (!visual) return false;
    SDL_SetHint(SDL_HINT_VIDEO_X11_WINDOW_VISUALID, std::to_string(*visual).c_str());
    return true;
}

}  // namespace

CHostWindow::~CHostWindow() {
    if (window_ != nullptr) ReleaseNative();
}

bool CHostWindow::Create(const HostWindowOptions& options) {
    CMessageLoop* loop = CMessageLoop::Current();
    if (loop == nullptr) {
        LOG(INFO) << " Window " << options.title << " not created: no message loop";
        return false;
    }
    if (window_ != nullptr) return false;
    const int width = std::clamp(options.width, 1, kMaxWindowSide);
    const int height = std::clamp(options.height, 1, kMaxWindowSide);
    alphaVisual_ = options.perPixelAlpha && UseAlphaVisual(loop->Desktop());
    shapeFromAlpha_ = options.perPixelAlpha && !alphaVisual_;
    window_ = SDL_CreateWindow(options.title.c_str(), options.x, options.y, width, height, CreationFlags(options));
    if (alphaVisual_) SDL_ResetHint(SDL_HINT_VIDEO_X11_WINDOW_VISUALID);
    if (window_ == nullptr) {
        LOG(INFO) << " Window " << options.title << " not created: " << SDL_GetError();
        return false;
    }
    loop_ = loop;
    id_ = loop->Add(*this, SDL_GetWindowID(window_));
    xWindow_ = X11WindowOf(window_);
    // Re-checked for every window: a window manager may start after us.
    windowManager_ = loop->Desktop().WindowManagerRunning();
    if (windowManager_ && SDL_SetWindowHitTest(window_, &SdlHitTest, this) != 0) {
        LOG(INFO) << " Caption drag unavailable: " << SDL_GetError();
    }
    surface_.Resize(width, height);
    ApplyShape();
    return true;
}

void CHostWindow::Destroy() {
    if (window_ == nullptr) return;
    ReleaseNative();
    OnDestroyed();
}

void CHostWindow::ReleaseNative() {
    if (loop_ != nullptr) loop_->Remove(*this);
    SDL_DestroyWindow(window_);
    window_ = nullptr;
    loop_ = nullptr;
    xWindow_ = 0;
    dragging_ = false;
}

void CHostWindow::LoopGone() {
    if (window_ != nullptr) ReleaseNative();
}

void CHostWindow::Show(bool show, bool activate) {
    if (window_ == nullptr) return;
    if (!show) {
        SDL_HideWindow(window_);
        return;
    }
    SDL_ShowWindow(window_);
    if (activate) SDL_RaiseWindow(window_);
    // The server keeps no pixels of an unmapped window: show them all.
    exposed_ = true;
}

bool CHostWindow::IsVisible() const {
    return window_ != nullptr && (SDL_GetWindowFlags(window_) & SDL_WINDOW_SHOWN) != 0;
}

UIRect CHostWindow::ScreenRect() const {
    if (window_ == nullptr) return {};
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    SDL_GetWindowPosition(window_, &x, &y);
    SDL_GetWindowSize(window_, &width, &height);
    return {x, y, x + width, y + height};
}

UISize CHostWindow::ClientSize() const {
    const UIRect rect = ScreenRect();
    return {rect.Width(), rect.Height()};
}

void CHostWindow::Move(int x, int y) {
    if (window_ != nullptr) SDL_SetWindowPosition(window_, x, y);
}

void CHostWindow::Resize(int width, int height) {
    if (window_ == nullptr) return;
    SDL_SetWindowSize(window_, std::clamp(width, 1, kMaxWindowSide), std::clamp(height, 1, kMaxWindowSide));
    const UISize size = ClientSize();
    SizeChanged(size.cx, size.cy);
}

bool CHostWindow::IsMaximized() const {
    return window_ != nullptr && (maximizedHere_ || (SDL_GetWindowFlags(window_) & SDL_WINDOW_MAXIMIZED) != 0);
}

bool CHostWindow::IsMinimized() const {
    return window_ != nullptr && (SDL_GetWindowFlags(window_) & SDL_WINDOW_MINIMIZED) != 0;
}

void CHostWindow::Minimize() {
    if (window_ != nullptr) SDL_MinimizeWindow(window_);
}

void CHostWindow::Maximize() {
    if (window_ == nullptr || IsMaximized()) return;
    if (windowManager_) {
        SDL_MaximizeWindow(window_);
        return;
    }
    restoreRect_ = ScreenRect();
    const UIRect area = WorkArea();
    maximizedHere_ = true;
    Move(area.left, area.top);
    Resize(area.Width(), area.Height());
}

void CHostWindow::Restore() {
    if (window_ == nullptr) return;
    if (!maximizedHere_) {
        SDL_RestoreWindow(window_);
        return;
    }
    maximizedHere_ = false;
    Move(restoreRect_.left, restoreRect_.top);
    Resize(restoreRect_.Width(), restoreRect_.Height());
}

void CHostWindow::TakeFocus() {
    if (window_ == nullptr) return;
    SDL_RaiseWindow(window_);
    SDL_SetWindowInputFocus(window_);
}

bool CHostWindow::HasFocus() const { return window_ != nullptr && SDL_GetKeyboardFocus() == window_; }

UIRect CHostWindow::WorkArea() const {
    const int display = window_ != nullptr ? std::max(SDL_GetWindowDisplayIndex(window_), 0) : 0;
    SDL_Rect bounds{0, 0, 0, 0};
    if (SDL_GetDisplayUsableBounds(display, &bounds) != 0) SDL_GetDisplayBounds(display, &bounds);
    return {bounds.x, bounds.y, bounds.x + bounds.w, bounds.y + bounds.h};
}

void CHostWindow::SetTextInputArea(const UIRect& rect) {
    SDL_Rect area{rect.left, rect.top, rect.Width(), rect.Height()};
    SDL_SetTextInputRect(&area);
}

bool CHostWindow::PostToWindow(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) const {
    return ZembraUI::PostToWindow(id_, message, wParam, lParam);
}

std::intptr_t CHostWindow::SendToWindow(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) const {
    return ZembraUI::SendToWindow(id_, message, wParam, lParam);
}

bool CHostWindow::SetTimer(unsigned id, unsigned periodMs) {
    if (loop_ == nullptr) return false;
    loop_->Timers().Set(id_, id, periodMs);
    return true;
}

bool CHostWindow::KillTimer(unsigned id) { return loop_ != nullptr && loop_->Timers().Kill(id_, id); }

void CHostWindow::SetSizeBox(const UIRect& sizeBox) {
    sizeBox_ = sizeBox;
    const bool any = sizeBox.left > 0 || sizeBox.top > 0 || sizeBox.right > 0 || sizeBox.bottom > 0;
    if (window_ != nullptr && any) SDL_SetWindowResizable(window_, SDL_TRUE);
}

void CHostWindow::SetRoundCorner(int width, int height) {
    roundCorner_ = {std::max(width, 0), std::max(height, 0)};
    ApplyShape();
}

FrameArea CHostWindow::HitTest(const UIPoint& point) {
    // The bands are skin sizes: compare in skin units.
    const double scale = Scale();
    const UIPoint skinPoint = ToSkin(point, scale);
    FrameArea area = HitTestFrame(skinPoint, ToSkin(ClientSize(), scale), sizeBox_, caption_, IsMaximized());
    if (area == FrameArea::Caption && !IsDragArea(skinPoint)) area = FrameArea::Client;
    return area;
}

UISize CHostWindow::DeviceRoundCorner() const { return ToDevice(roundCorner_, Scale()); }

void CHostWindow::SetCursor(CursorShape shape) {
    if (loop_ != nullptr) loop_->Cursors().Show(shape);
}

double CHostWindow::Scale() const {
    const CMessageLoop* loop = loop_ != nullptr ? loop_ : CMessageLoop::Current();
    return loop != nullptr ? loop->DesktopScale() : 1.0;
}

std::intptr_t CHostWindow::DeliverMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    return OnMessage(message, wParam, lParam);
}

void CHostWindow::HandleEvent(const SDL_Event& event) {
    switch (event.type) {
        case SDL_WINDOWEVENT: HandleWindowEvent(event); break;
        case SDL_MOUSEMOTION: HandleMotion(event); break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: HandleButton(event); break;
        case SDL_MOUSEWHEEL: {
            MouseInput input;
            SDL_GetMouseState(&input.point.x, &input.point.y);
            input.keyState = CurrentKeyState();
            const int delta = event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -event.wheel.y : event.wheel.y;
            if (delta != 0) OnMouseWheel(delta, input);
            break;
        }
        case SDL_KEYDOWN:
        case SDL_KEYUP: HandleKey(event); break;
        case SDL_TEXTINPUT: OnTextInput(event.text.text); break;
        case SDL_TEXTEDITING: OnTextEditing(event.edit.text, event.edit.start, event.edit.length); break;
        default: break;
    }
}

void CHostWindow::HandleWindowEvent(const SDL_Event& event) {
    switch (event.window.event) {
        case SDL_WINDOWEVENT_EXPOSED: exposed_ = true; break;
        case SDL_WINDOWEVENT_SIZE_CHANGED: SizeChanged(event.window.data1, event.window.data2); break;
        case SDL_WINDOWEVENT_MOVED: OnMoved(event.window.data1, event.window.data2); break;
        case SDL_WINDOWEVENT_LEAVE:
            if (!dragging_) OnMouseLeave();
            break;
        case SDL_WINDOWEVENT_FOCUS_GAINED: OnFocus(true); break;
        case SDL_WINDOWEVENT_FOCUS_LOST: OnFocus(false); break;
        case SDL_WINDOWEVENT_CLOSE: OnCloseRequest(); break;
        case SDL_WINDOWEVENT_HIT_TEST: {
            // The window manager took a press that was not on client area.
            UIPoint pointer;
            SDL_GetMouseState(&pointer.x, &pointer.y);
            if (HitTest(pointer) == FrameArea::Caption) OnCaptionDrag();
            break;
        }
        default: break;
    }
}

void CHostWindow::HandleButton(const SDL_Event& event) {
    MouseInput input;
    input.point = {event.button.x, event.button.y};
    input.button = event.button.button;
    input.pressed = event.type == SDL_MOUSEBUTTONDOWN;
    input.clicks = event.button.clicks;
    input.keyState = CurrentKeyState();
    if (input.button == SDL_BUTTON_LEFT) {
        // With a window manager the caption is its business (the hit-test
        // above); without one the window follows the pointer itself.
        if (input.pressed && !windowManager_ && HitTest(input.point) == FrameArea::Caption) {
            SDL_GetWindowPosition(window_, &dragOrigin_.x, &dragOrigin_.y);
            // Where the press happened, even if the pointer has moved on since.
            dragPointer_ = {dragOrigin_.x + input.point.x, dragOrigin_.y + input.point.y};
            dragging_ = true;
            OnCaptionDrag();
            return;
        }
        if (!input.pressed && dragging_) {
            FollowPointer();
            dragging_ = false;
            return;
        }
    }
    OnMouseButton(input);
}

void CHostWindow::HandleMotion(const SDL_Event& event) {
    if (dragging_) {
        FollowPointer();
        return;
    }
    MouseInput input;
    input.point = {event.motion.x, event.motion.y};
    input.keyState = CurrentKeyState();
    // The window manager resizes from the borders, but only on a press:
    // their cursors are ours to show.
    if (windowManager_) ShowFrameCursor(HitTest(input.point));
    OnMouseMove(input);
}

void CHostWindow::FollowPointer() {
    // The pointer as it is now: the window keeps up even when motion events
    // queue up behind a slow paint.
    UIPoint pointer;
    SDL_GetGlobalMouseState(&pointer.x, &pointer.y);
    SDL_SetWindowPosition(window_, dragOrigin_.x + pointer.x - dragPointer_.x,
                          dragOrigin_.y + pointer.y - dragPointer_.y);
}

void CHostWindow::ShowFrameCursor(FrameArea area) {
    const bool border = area != FrameArea::Client && area != FrameArea::Caption;
    if (border) {
        SetCursor(CursorFor(area));
    } else if (borderCursor_) {
        SetCursor(CursorShape::Arrow);
    }
    borderCursor_ = border;
}

void CHostWindow::HandleKey(const SDL_Event& event) {
    KeyInput input;
    input.virtualKey = VirtualKey::FromSdlKey(event.key.keysym.sym);
    input.keyState = KeyStateOf(event.key.keysym.mod);
    input.pressed = event.type == SDL_KEYDOWN;
    input.repeat = event.key.repeat != 0;
    // A window manager turns Alt+F4 into a close request; without one we do.
    if (input.pressed && !windowManager_ && input.virtualKey == VirtualKey::kF4 &&
        (input.keyState & KeyState::kAlt) != 0) {
        OnCloseRequest();
        return;
    }
    OnKey(input);
}

void CHostWindow::SizeChanged(int width, int height) {
    if (window_ == nullptr || (width == surface_.Width() && height == surface_.Height())) return;
    surface_.Resize(width, height);
    alphaShape_.clear();
    ApplyShape();
    OnSize(width, height);
}

void CHostWindow::PaintPending() {
    std::vector<UIRect> areas;
    // Painting may invalidate again (a first layout); one more round shows that too.
    for (int round = 0; round < 2 && window_ != nullptr && surface_.HasDirty(); ++round) {
        std::vector<UIRect> dirty = surface_.TakeDirty();
        OnPaint(surface_, dirty);
        areas.insert(areas.end(), dirty.begin(), dirty.end());
    }
    if (window_ == nullptr) return;
    if (exposed_) {
        areas.assign(1, UIRect{0, 0, surface_.Width(), surface_.Height()});
        exposed_ = false;
    }
    if (!areas.empty()) Present(areas);
}

void CHostWindow::Present(const std::vector<UIRect>& areas) {
    cairo_surface_t* source = surface_.Surface();
    SDL_Surface* target = window_ != nullptr && source != nullptr ? SDL_GetWindowSurface(window_) : nullptr;
    if (target == nullptr) {
        if (window_ != nullptr) LOG(INFO) << " Window " << id_ << " cannot be shown: " << SDL_GetError();
        return;
    }
    cairo_surface_flush(source);
    // The surface's pixels, described to SDL without a copy.
    SDL_Surface* pixels = SDL_CreateRGBSurfaceWithFormatFrom(
        cairo_image_surface_get_data(source), surface_.Width(), surface_.Height(), 32,
        cairo_image_surface_get_stride(source), SDL_PIXELFORMAT_ARGB8888);
    if (pixels == nullptr) return;
    SDL_SetSurfaceBlendMode(pixels, SDL_BLENDMODE_NONE);
    const UIRect bounds{0, 0, std::min(surface_.Width(), target->w), std::min(surface_.Height(), target->h)};
    std::vector<SDL_Rect> rects;
    for (const UIRect& area : areas) {
        const UIRect part = IntersectRects(area, bounds);
        if (part.IsEmpty()) continue;
        SDL_Rect rect{part.left, part.top, part.Width(), part.Height()};
        SDL_Rect destination = rect;
        SDL_BlitSurface(pixels, &rect, target, &destination);
        rects.push_back(rect);
    }
    SDL_FreeSurface(pixels);
    if (!rects.empty()) SDL_UpdateWindowSurfaceRects(window_, rects.data(), int(rects.size()));
    if (shapeFromAlpha_) UpdateAlphaShape();
}

void CHostWindow::ApplyShape() {
    if (window_ == nullptr || xWindow_ == 0 || loop_ == nullptr) return;
    // A translucent window without a compositor takes its shape from its pixels at each present.
    if (shapeFromAlpha_) return;
    platform::X11Desktop& desktop = loop_->Desktop();
    if (roundCorner_.cx > 0 && roundCorner_.cy > 0) {
        const UISize size = ClientSize();
        const UISize corner = DeviceRoundCorner();
        shaped_ = desktop.SetWindowShape(
            xWindow_, platform::ShapeOfRows(platform::RoundRectRows(size.cx, size.cy, corner.cx, corner.cy)));
        if (!shaped_) LOG(INFO) << " Window " << id_ << " keeps square corners: no shape extension";
    } else if (shaped_) {
        desktop.ClearWindowShape(xWindow_);
        shaped_ = false;
    }
}

void CHostWindow::UpdateAlphaShape() {
    cairo_surface_t* source = surface_.Surface();
    if (xWindow_ == 0 || loop_ == nullptr || source == nullptr) return;
    const int width = surface_.Width();
    const int height = surface_.Height();
    const UISize corner = DeviceRoundCorner();
    const std::vector<platform::RowSpan> limits =
        corner.cx > 0 && corner.cy > 0 ? platform::RoundRectRows(width, height, corner.cx, corner.cy)
                                       : std::vector<platform::RowSpan>{};
    auto shape = platform::AlphaShape(reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(source)),
                                      width, height, cairo_image_surface_get_stride(source) / 4, limits);
    if (shaped_ && shape == alphaShape_) return;
    shaped_ = loop_->Desktop().SetWindowShape(xWindow_, shape);
    if (shaped_) alphaShape_ = std::move(shape);
}

std::intptr_t CHostWindow::OnMessage(unsigned, std::uintptr_t, std::intptr_t) { return 0; }
void CHostWindow::OnTimer(unsigned) {}
void CHostWindow::OnPaint(CPaintSurface&, const std::vector<UIRect>&) {}
void CHostWindow::OnMouseMove(const MouseInput&) {}
void CHostWindow::OnMouseButton(const MouseInput&) {}
void CHostWindow::OnMouseWheel(int, const MouseInput&) {}
void CHostWindow::OnMouseLeave() {}
void CHostWindow::OnKey(const KeyInput&) {}
void CHostWindow::OnTextInput(const std::string&) {}
void CHostWindow::OnTextEditing(const std::string&, int, int) {}
void CHostWindow::OnFocus(bool) {}
void CHostWindow::OnSize(int, int) {}
void CHostWindow::OnMoved(int, int) {}
void CHostWindow::OnCloseRequest() { Destroy(); }
void CHostWindow::OnCaptionDrag() {}
void CHostWindow::OnDestroyed() {}
bool CHostWindow::IsDragArea(const UIPoint&) { return true; }

}  // namespace ZembraUI
