#include "uitoolkit/window/WindowWnd.h"

#include <algorithm>
#include <set>
#include <vector>

#include <easylogging++.h>

#include "uitoolkit/ScaleMath.h"
#include "uitoolkit/manager/UIMessage.h"
#include "uitoolkit/window/MessageLoop.h"

namespace ZembraUI {
namespace {

std::set<std::string>& RegisteredClasses() {
    static std::set<std::string> classes;
    return classes;
}

// Every live window of the UI thread, for closing what an owner leaves behind.
std::vector<CWindowWnd*>& LiveWindows() {
    static std::vector<CWindowWnd*> windows;
    return windows;
}

void Forget(CWindowWnd* window) {
    auto& windows = LiveWindows();
    windows.erase(std::remove(windows.begin(), windows.end(), window), windows.end());
}

}  // namespace

CWindowWnd::~CWindowWnd() { Forget(this); }

bool CWindowWnd::IsClassRegistered(const std::string& name) { return RegisteredClasses().count(name) != 0; }

bool CWindowWnd::RegisterWindowClass() {
    const std::string name = WindowClassName();
    if (name.empty()) return false;
    const std::string super = SuperClassName();
    if (!super.empty() && !IsClassRegistered(super)) {
        LOG(INFO) << " Window class " << name << " not registered: no class " << super;
        return false;
    }
    RegisteredClasses().insert(name);  // a class that exists counts as registered
    return true;
}

bool CWindowWnd::CreateHostWindow(CWindowWnd* owner, const std::string& title, std::uint32_t style,
                                  std::uint32_t exStyle, int x, int y, int width, int height) {
    if (!RegisterWindowClass()) return false;
    HostWindowOptions options;
    options.title = title;
    options.x = x;
    options.y = y;
    // Sizes come in skin units, like the layout's own "size".
    const UISize size = ToDevice(UISize{width, height}, Scale());
    options.width = size.cx;
    options.height = size.cy;
    options.perPixelAlpha = (exStyle & WindowStyle::kExLayered) != 0 || WantsPerPixelAlpha();
    if (!Create(options)) return false;
    owner_ = owner != nullptr ? owner->Id() : kNoHostWindow;
    style_ = style;
    enabled_ = true;
    LiveWindows().push_back(this);
    RouteMessage(WindowMessage::kCreate, 0, 0);
    return IsAlive();
}

bool CWindowWnd::CreateHostWindow(CWindowWnd* owner, const std::string& title, std::uint32_t style,
                                  std::uint32_t exStyle, const UIRect& rect) {
    return CreateHostWindow(owner, title, style, exStyle, rect.left, rect.top, rect.Width(), rect.Height());
}

void CWindowWnd::ShowHostWindow(bool show, bool takeFocus) { Show(show, takeFocus); }

void CWindowWnd::PostClose(std::uintptr_t code) {
    if (IsAlive()) PostToWindow(WindowMessage::kClose, code);
}

CWindowWnd* CWindowWnd::Owner() const {
    CMessageLoop* loop = CMessageLoop::Current();
    return loop != nullptr && owner_ != kNoHostWindow ? dynamic_cast<CWindowWnd*>(loop->Find(owner_)) : nullptr;
}

int CWindowWnd::RunModal() {
    CMessageLoop* loop = CMessageLoop::Current();
    if (loop == nullptr || !IsAlive()) return 0;
    ShowHostWindow(true, true);
    if (CWindowWnd* owner = Owner()) owner->EnableWindow(false);
    modal_ = true;
    modalResult_ = 0;
    const HostWindowId self = Id();
    // Watch the id: the native window goes before the object does.
    const std::optional<int> quit = loop->RunUntil([loop, self] { return loop->Find(self) == nullptr; });
    modal_ = false;
    if (CWindowWnd* owner = Owner()) {
        owner->EnableWindow(true);
        owner->TakeFocus();
    }
    if (quit) {
        LOG(INFO) << " Quit " << *quit << " during a modal window, handed on";
        CMessageLoop::PostQuit(*quit);
    }
    return int(modalResult_);
}

void CWindowWnd::CenterWindowOnOwner() {
    if (!IsAlive()) return;
    CWindowWnd* owner = Owner();
    const UIRect work = owner != nullptr ? owner->WorkArea() : WorkArea();
    const UIRect reference = owner != nullptr ? owner->ScreenRect() : work;
    const UIRect self = ScreenRect();
    const auto place = [](int referenceLow, int referenceHigh, int size, int low, int high) {
        int at = (referenceLow + referenceHigh) / 2 - size / 2;
        if (at < low) {
            at = low;
        } else if (at + size > high) {
            at = high - size;
        }
        return at;
    };
    Move(place(reference.left, reference.right, self.Width(), work.left, work.right),
         place(reference.top, reference.bottom, self.Height(), work.top, work.bottom));
}

std::intptr_t CWindowWnd::RouteMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    return DefaultRoute(message, wParam, lParam);
}

std::intptr_t CWindowWnd::DefaultRoute(unsigned message, std::uintptr_t wParam, std::intptr_t) {
    switch (message) {
        case WindowMessage::kClose: Destroy(); return 0;
        case WindowMessage::kSysCommand:
            switch (wParam & 0xFFF0) {
                case SysCommand::kMinimize: Minimize(); break;
                case SysCommand::kMaximize: Maximize(); break;
                case SysCommand::kRestore: Restore(); break;
                case SysCommand::kClose: PostToWindow(WindowMessage::kClose); break;
                default: break;
            }
            return 0;
        default: return 0;
    }
}

void CWindowWnd::RouteInput(unsigned message, const UIMessage& input) {
    if (!enabled_ || !IsAlive()) return;
    if (PreTranslate(input)) return;
    RouteMessage(message, 0, reinterpret_cast<std::intptr_t>(&input));
}

std::intptr_t CWindowWnd::OnMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    if (message == WindowMessage::kClose && modal_) {
        modalResult_ = wParam;
        if (CWindowWnd* owner = Owner()) {
            owner->EnableWindow(true);
            owner->TakeFocus();
        }
    }
    return RouteMessage(message, wParam, lParam);
}

void CWindowWnd::OnCloseRequest() {
    // A disabled owner stays while its modal box runs.
    if (!enabled_) {
        LOG(INFO) << " Window " << Id() << " ignores a close request while disabled";
        return;
    }
    OnMessage(WindowMessage::kClose, 0, 0);
}

void CWindowWnd::CloseOwnedWindows() {
    // Owned windows go with their owner, as a modal box does with the window it blocks.
    const std::vector<CWindowWnd*> windows = LiveWindows();
    for (CWindowWnd* window : windows) {
        const auto& live = LiveWindows();
        if (std::find(live.begin(), live.end(), window) == live.end()) continue;
        if (window->owner_ == Id() && window->IsAlive()) window->Destroy();
    }
}

void CWindowWnd::OnDestroyed() {
    const HostWindowId gone = Id();
    Forget(this);
    CloseOwnedWindows();
    RouteMessage(WindowMessage::kDestroy, 0, 0);
    WindowGone(gone);
}

int RunMessageLoop() {
    CMessageLoop* loop = CMessageLoop::Current();
    return loop != nullptr ? loop->Run() : -1;
}

}  // namespace ZembraUI
