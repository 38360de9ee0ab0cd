#pragma once
// A native window with a message handler object: registration of its class
// name, creation, show, close with a code, the modal loop, centring on its
// owner, and the routing of everything the window receives through one
// virtual RouteMessage. Input is offered to PreTranslate first (Tab,
// shortcuts, key filters) and dropped while the window is disabled, as an
// owner is while its modal box runs.
#include <cstdint>
#include <string>

#include "uitoolkit/window/HostWindow.h"
#include "uitoolkit/window/WindowMessages.h"

namespace ZembraUI {

struct UIMessage;

class CWindowWnd : public CHostWindow {
public:
    CWindowWnd() = default;
    ~CWindowWnd() override;

    virtual std::string WindowClassName() const = 0;
    // An already registered class to derive from; empty for a fresh one.
    virtual std::string SuperClassName() const { return {}; }
    virtual unsigned ClassStyle() const { return 0; }

    // Registers the class and makes the window (hidden) owned by owner (may
    // be null); kCreate is routed before it returns. False, logged, when the
    // class cannot be registered or the window cannot be made.
    bool CreateHostWindow(CWindowWnd* owner, const std::string& title, std::uint32_t style,
                          std::uint32_t exStyle, int x, int y, int width, int height);
    bool CreateHostWindow(CWindowWnd* owner, const std::string& title, std::uint32_t style,
                          std::uint32_t exStyle, const UIRect& rect);
    void ShowHostWindow(bool show = true, bool takeFocus = true);
    // Posts kClose with the code while the window exists.
    void PostClose(std::uintptr_t code = 0);
    // Shows the window, disables its owner and runs the loop until the window
    // is gone; answers the last close code (0 when none came). A quit request
    // inside ends it early and is posted again for the outer loop.
    int RunModal();
    // Centres on the owner (on the work area without one), kept inside the work area.
    void CenterWindowOnOwner();

    std::uint32_t Style() const { return style_; }
    void SetStyle(std::uint32_t style) { style_ = style; }
    bool IsEnabled() const { return enabled_; }
    void EnableWindow(bool enabled) { enabled_ = enabled; }
    CWindowWnd* Owner() const;

    // Registered class names of the process.
    static bool IsClassRegistered(const std::string& name);

protected:
    virtual std::intptr_t RouteMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);
    // Called after the native window is gone.
    virtual void WindowGone(HostWindowId oldWindow) { (void)oldWindow; }
    // Whether the native window needs per-pixel alpha (asked before it is made).
    virtual bool WantsPerPixelAlpha() { return false; }
    // True consumes an input message before routing.
    virtual bool PreTranslate(const UIMessage& message) { (void)message; return false; }
    // What the platform does with a message nobody answered.
    std::intptr_t DefaultRoute(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);
    // Pre-translates and routes one input message (kOtherInput for input without a message of its own).
    void RouteInput(unsigned message, const UIMessage& input);

    std::intptr_t OnMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override;
    void OnCloseRequest() override;
    void OnDestroyed() override;

private:
    bool RegisterWindowClass();
    void CloseOwnedWindows();

    HostWindowId owner_ = kNoHostWindow;
    std::uint32_t style_ = 0;
    bool enabled_ = true;
    bool modal_ = false;
    std::uintptr_t modalResult_ = 0;
};

// The process's message loop until a quit request; answers its code (-1
// without a started loop).
int RunMessageLoop();

}  // namespace ZembraUI
