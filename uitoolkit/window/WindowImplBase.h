#pragma once
// The skinned window: builds its content from a layout of the skin, owns the
// manager that lays it out, paints it and feeds it input, and dispatches
// the notifications of its controls through its notification map ("click"
// of any control goes to OnClick, whose defaults close, minimise, maximise
// and restore). A window of the installer derives from it, names its class,
// skin folder and layout file, and adds its own map entries and handlers.
//
// Message routing: the handler of the message (MsgCreate ... OnClose) runs
// with handled = true; if it clears handled, HandleCustomMessage runs with
// handled = false; then the manager; then the platform's default.
#include <cstdint>
#include <memory>
#include <string>

#include "uitoolkit/manager/NotifyUI.h"
#include "uitoolkit/manager/UIManager.h"
#include "uitoolkit/markup/DialogBuilderCallback.h"
#include "uitoolkit/window/NotifyPump.h"
#include "uitoolkit/window/WindowUIHost.h"
#include "uitoolkit/window/WindowWnd.h"

namespace ZembraUI {

enum class SkinResourceKind { Folder = 1, ZipFile = 2, Resource = 3, ZipResource = 4 };

class WindowImplBase : public CWindowWnd,
                       public CNotifyPump,
                       public INotifyUI,
                       public IMessageFilterUI,
                       public IDialogBuilderCallback {
public:
    using Result = std::intptr_t;

    WindowImplBase();
    ~WindowImplBase() override;

    unsigned ClassStyle() const override { return WindowStyle::kClassDoubleClicks; }
    virtual void InitWindow() {}
    virtual void OnClick(TNotifyUI& notification);
    virtual std::string SkinFolder() const = 0;
    virtual std::string SkinFile() const = 0;
    // True consumes a key down of Return or Escape before any control sees it.
    virtual bool DefaultKeyResponse(unsigned key);
    virtual SkinResourceKind ResourceKind() const { return SkinResourceKind::Folder; }
    virtual std::string ZipFileName() const { return {}; }
    virtual std::string ResourceId() const { return {}; }

    virtual Result OnClose(unsigned message, std::uintptr_t wParam, std::intptr_t lParam, bool& handled);
    virtual Result MsgDestroy(unsigned message, std::uintptr_t wParam, std::intptr_t lParam, bool& handled);
    virtual Result MsgGetMinMaxInfo(unsigned message, std::uintptr_t wParam, std::intptr_t lParam, bool& handled);
    virtual Result MsgMouseWheel(unsigned message, std::uintptr_t wParam, std::intptr_t lParam, bool& handled);
    virtual Result MsgMouseHover(unsigned message, std::uintptr_t wParam, std::intptr_t lParam, bool& handled);
    virtual Result MsgSize(unsigned message, std::uintptr_t wParam, std::intptr_t lParam, bool& handled);
    virtual Result MsgChar(unsigned message, std::uintptr_t wParam, std::intptr_t lParam, bool& handled);
    virtual Result MsgSysCommand(unsigned message, std::uintptr_t wParam, std::intptr_t lParam, bool& handled);
    virtual Result MsgCreate(unsigned message, std::uintptr_t wParam, std::intptr_t lParam, bool& handled);
    virtual Result MsgKeyDown(unsigned message, std::uintptr_t wParam, std::intptr_t lParam, bool& handled);
    virtual Result MsgKillFocus(unsigned message, std::uintptr_t wParam, std::intptr_t lParam, bool& handled);
    virtual Result MsgSetFocus(unsigned message, std::uintptr_t wParam, std::intptr_t lParam, bool& handled);
    virtual Result MsgLButtonDown(unsigned message, std::uintptr_t wParam, std::intptr_t lParam, bool& handled);
    virtual Result MsgLButtonUp(unsigned message, std::uintptr_t wParam, std::intptr_t lParam, bool& handled);
    virtual Result MsgMouseMove(unsigned message, std::uintptr_t wParam, std::intptr_t lParam, bool& handled);
    virtual Result HandleCustomMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam, bool& handled);
    // The window's style without the caption bits.
    virtual std::uint32_t WindowStyle() const;

    CControlUI* CreateControl(const std::string& className) override;
    void Notify(TNotifyUI& notification) override;
    // The window as pre-message filter: Return and Escape go to DefaultKeyResponse.
    long MessageHandler(const UIMessage& message, bool& handled) override;

    CUIManager& PaintManager() { return manager_; }
    // Resizes the client area to a size in skin units, like the layout's
    // "size": on a scaled display the window grows with the scale.
    void Resize(int width, int height);
    CWindowUIHost& UIHost() { return host_; }
    // Whether a press at this point of the caption band drags the window.
    bool IsCaptionPoint(const UIPoint& point) const;

    // What happens when a layout yields no control: the error box, then the
    // process ends with exit code 1. Tests replace it.
    using FatalSkinHandler = void (*)();
    static void SetFatalSkinHandler(FatalSkinHandler handler);

protected:
    Result RouteMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override;
    void WindowGone(HostWindowId oldWindow) override;
    bool PreTranslate(const UIMessage& message) override;
    // A layout whose Window is "bktrans" needs a window with per-pixel alpha.
    bool WantsPerPixelAlpha() override;

    void OnTimer(unsigned id) override;
    void OnPaint(CPaintSurface& surface, const std::vector<UIRect>& areas) override;
    void OnMouseMove(const MouseInput& input) override;
    void OnMouseButton(const MouseInput& input) override;
    void OnMouseWheel(int delta, const MouseInput& input) override;
    void OnMouseLeave() override;
    void OnKey(const KeyInput& input) override;
    void OnTextInput(const std::string& utf8) override;
    // An input method's composition goes to the focused edit.
    void OnTextEditing(const std::string& utf8, int start, int length) override;
    void OnFocus(bool gained) override;
    void OnSize(int width, int height) override;
    bool IsDragArea(const UIPoint& point) override;

private:
    Result CallHandler(unsigned message, std::uintptr_t wParam, std::intptr_t lParam, bool& handled);
    bool ToManager(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);
    bool OpenSkinResource();
    void ApplyFrameAttributes();

    // The host outlives the manager, which stops its timers through it on the way out.
    CWindowUIHost host_;
    CUIManager manager_;
};

}  // namespace ZembraUI
