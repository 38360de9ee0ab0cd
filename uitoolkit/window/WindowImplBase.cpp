#include "uitoolkit/window/WindowImplBase.h"

#include <SDL2/SDL.h>
#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include <easylogging++.h>

#include "uitoolkit/ScaleMath.h"
#include "uitoolkit/controls/ControlUI.h"
#include "uitoolkit/controls/EditUI.h"
#include "uitoolkit/controls/Utf8.h"
#include "uitoolkit/manager/UIMessage.h"
#include "uitoolkit/markup/LayoutBuilder.h"
#include "uitoolkit/markup/MarkupDoc.h"
#include "uitoolkit/markup/SkinArchive.h"
#include "uitoolkit/window/DropDownWindow.h"
#include "uitoolkit/window/KeyCodes.h"

namespace ZembraUI {
namespace {

constexpr char kSkinErrorText[] = "加载资源文件失败";
constexpr char kSkinErrorCaption[] = "ZembraUI";

void ShowSkinErrorAndExit() {
    LOG(ERROR) << " " << kSkinErrorText << ": the layout has no root control";
    // Without a display there is nobody to read the box.
    if (SDL_WasInit(SDL_INIT_VIDEO) != 0 && SDL_GetNumVideoDisplays() > 0) {
        if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, kSkinErrorCaption, kSkinErrorText, nullptr) != 0) {
            LOG(ERROR) << " The error box cannot be shown: " << SDL_GetError();
        }
    }
    el::Loggers::flushAll();
    std::_Exit(1);
}

WindowImplBase::FatalSkinHandler& FatalHandler() {
    static WindowImplBase::FatalSkinHandler handler = &ShowSkinErrorAndExit;
    return handler;
}

std::string ApplicationFolder() {
    std::error_code error;
    const auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string("./") : path.parent_path().string() + "/";
}

const UIMessage* InputOf(std::intptr_t lParam) { return reinterpret_cast<const UIMessage*>(lParam); }

bool IsInputMessage(unsigned message) {
    switch (message) {
        case WindowMessage::kKeyDown:
        case WindowMessage::kChar:
        case WindowMessage::kMouseMove:
        case WindowMessage::kLButtonDown:
        case WindowMessage::kLButtonUp:
        case WindowMessage::kMouseWheel:
        case WindowMessage::kMouseHover:
        case WindowMessage::kOtherInput: return true;
        default: return false;
    }
}

UIMessage Message(UIMessageKind kind) {
    UIMessage message;
    message.kind = kind;
    return message;
}

}  // namespace

void WindowImplBase::SetFatalSkinHandler(FatalSkinHandler handler) {
    FatalHandler() = handler != nullptr ? handler : &ShowSkinErrorAndExit;
}

WindowImplBase::WindowImplBase() : host_(*this, manager_) {
    AddNotifyMap({NotifyMapEntry("click", "", NotifyMapEntry::RecordHandler([this](TNotifyUI& n) { OnClick(n); }))});
}

WindowImplBase::~WindowImplBase() {
    if (IsAlive()) Destroy();
}

void WindowImplBase::OnClick(TNotifyUI& notification) {
    const std::string name = notification.sender != nullptr ? notification.sender->Name() : std::string();
    if (name == "closebtn") {
        PostClose(1);
    } else if (name == "minbtn") {
        SendToWindow(WindowMessage::kSysCommand, SysCommand::kMinimize);
    } else if (name == "maxbtn") {
        SendToWindow(WindowMessage::kSysCommand, SysCommand::kMaximize);
    } else if (name == "restorebtn") {
        SendToWindow(WindowMessage::kSysCommand, SysCommand::kRestore);
    }
}

void WindowImplBase::Resize(int width, int height) {
    const UISize device = ToDevice(UISize{width, height}, Scale());
    CHostWindow::Resize(device.cx, device.cy);
}

bool WindowImplBase::DefaultKeyResponse(unsigned key) { return key == VirtualKey::kEscape; }

CControlUI* WindowImplBase::CreateControl(const std::string&) { return nullptr; }

std::uint32_t WindowImplBase::WindowStyle() const { return Style() & ~WindowStyle::kCaption; }

void WindowImplBase::Notify(TNotifyUI& notification) { NotifyPump(notification); }

long WindowImplBase::MessageHandler(const UIMessage& message, bool& handled) {
    if (message.kind != UIMessageKind::KeyDown) return 0;
    if (message.key != VirtualKey::kReturn && message.key != VirtualKey::kEscape) return 0;
    // The edit keeps its own keys, as a native edit box would.
    CControlUI* focus = manager_.FocusedControl();
    if (focus != nullptr && focus->AsInterface("Edit") != nullptr) return 0;
    if (DefaultKeyResponse(message.key)) handled = true;
    return 0;
}

bool WindowImplBase::IsCaptionPoint(const UIPoint& point) const {
    CControlUI* control = manager_.ControlAtPoint(point);
    if (control == nullptr) return false;
    const std::string type(control->TypeName());
    for (const char* clickable : {"ButtonUI", "OptionUI", "TextUI", "SliderUI"}) {
        if (strcasecmp(type.c_str(), clickable) == 0) return false;
    }
    return true;
}

bool WindowImplBase::IsDragArea(const UIPoint& point) { return IsCaptionPoint(point); }

WindowImplBase::Result WindowImplBase::CallHandler(unsigned message, std::uintptr_t wParam, std::intptr_t lParam,
                                                   bool& handled) {
    switch (message) {
        case WindowMessage::kCreate: return MsgCreate(message, wParam, lParam, handled);
        case WindowMessage::kDestroy: return MsgDestroy(message, wParam, lParam, handled);
        case WindowMessage::kSize: return MsgSize(message, wParam, lParam, handled);
        case WindowMessage::kSetFocus: return MsgSetFocus(message, wParam, lParam, handled);
        case WindowMessage::kKillFocus: return MsgKillFocus(message, wParam, lParam, handled);
        case WindowMessage::kClose: return OnClose(message, wParam, lParam, handled);
        case WindowMessage::kGetMinMaxInfo: return MsgGetMinMaxInfo(message, wParam, lParam, handled);
        case WindowMessage::kKeyDown: return MsgKeyDown(message, wParam, lParam, handled);
        case WindowMessage::kChar: return MsgChar(message, wParam, lParam, handled);
        case WindowMessage::kSysCommand: return MsgSysCommand(message, wParam, lParam, handled);
        case WindowMessage::kMouseMove: return MsgMouseMove(message, wParam, lParam, handled);
        case WindowMessage::kLButtonDown: return MsgLButtonDown(message, wParam, lParam, handled);
        case WindowMessage::kLButtonUp: return MsgLButtonUp(message, wParam, lParam, handled);
        case WindowMessage::kMouseWheel: return MsgMouseWheel(message, wParam, lParam, handled);
        case WindowMessage::kMouseHover: return MsgMouseHover(message, wParam, lParam, handled);
        default: handled = false; return 0;
    }
}

WindowImplBase::Result WindowImplBase::RouteMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    if (message == WindowMessage::kFocusCheck) {
        const CDropDownWindow* list = host_.DropDown();
        if (list != nullptr && list->IsAlive() && !HasFocus() && !list->HasFocus()) host_.CloseDropDown();
        return 0;
    }
    bool handled = true;
    Result result = CallHandler(message, wParam, lParam, handled);
    if (handled) return result;
    handled = false;
    result = HandleCustomMessage(message, wParam, lParam, handled);
    if (handled) return result;
    if (ToManager(message, wParam, lParam)) return 0;
    return DefaultRoute(message, wParam, lParam);
}

bool WindowImplBase::ToManager(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    if (IsInputMessage(message)) return lParam != 0 && manager_.MessageHandler(*InputOf(lParam));
    switch (message) {
        case WindowMessage::kSize: {
            UIMessage size = Message(UIMessageKind::Size);
            size.size = {int(wParam), int(lParam)};
            return manager_.MessageHandler(size);
        }
        case WindowMessage::kClose: return manager_.MessageHandler(Message(UIMessageKind::Close));
        case WindowMessage::kDeleteScheduled: return manager_.MessageHandler(Message(UIMessageKind::DeleteScheduled));
        case WindowMessage::kSysCommand:
            return (wParam & 0xFFF0) == SysCommand::kRestore &&
                   manager_.MessageHandler(Message(UIMessageKind::RestoreCommand));
        default:
            if (message < WindowMessage::kUser) return false;
            UIMessage custom = Message(UIMessageKind::Custom);
            custom.customId = message;
            custom.wParam = wParam;
            custom.lParam = lParam;
            return manager_.MessageHandler(custom);
    }
}

bool WindowImplBase::PreTranslate(const UIMessage& message) { return manager_.PreTranslate(message); }

bool WindowImplBase::WantsPerPixelAlpha() {
    CMarkupDoc doc;
    if (!OpenSkinResource() || !doc.LoadFromFile(SkinFile())) return false;
    const std::string layered = doc.GetRoot().GetAttributeValue("bktrans");
    return layered == "true";
}

WindowImplBase::Result WindowImplBase::OnClose(unsigned, std::uintptr_t, std::intptr_t, bool& handled) {
    host_.CloseDropDown();
    host_.HideTooltip();
    handled = false;
    return 0;
}

#define ZEMBRA_UNHANDLED(Name)                                                                    \
    WindowImplBase::Result WindowImplBase::Name(unsigned, std::uintptr_t, std::intptr_t, bool& handled) { \
        handled = false;                                                                          \
        return 0;                                                                                 \
    }
ZEMBRA_UNHANDLED(MsgDestroy)
ZEMBRA_UNHANDLED(MsgMouseWheel)
ZEMBRA_UNHANDLED(MsgMouseHover)
ZEMBRA_UNHANDLED(MsgChar)
ZEMBRA_UNHANDLED(MsgKeyDown)
ZEMBRA_UNHANDLED(MsgKillFocus)
ZEMBRA_UNHANDLED(MsgSetFocus)
ZEMBRA_UNHANDLED(MsgLButtonDown)
ZEMBRA_UNHANDLED(MsgLButtonUp)
ZEMBRA_UNHANDLED(MsgMouseMove)
ZEMBRA_UNHANDLED(HandleCustomMessage)
#undef ZEMBRA_UNHANDLED

WindowImplBase::Result WindowImplBase::MsgGetMinMaxInfo(unsigned, std::uintptr_t, std::intptr_t, bool& handled) {
    handled = false;
    return 0;
}

WindowImplBase::Result WindowImplBase::MsgSize(unsigned, std::uintptr_t, std::intptr_t, bool& handled) {
    // The rounded shape is re-cut by the host window at every size.
    handled = false;
    return 0;
}

WindowImplBase::Result WindowImplBase::MsgSysCommand(unsigned, std::uintptr_t wParam, std::intptr_t lParam,
                                                     bool& handled) {
    const unsigned command = unsigned(wParam & 0xFFF0);
    if (command == SysCommand::kClose) {
        SendToWindow(WindowMessage::kClose);
        return 0;
    }
    const bool wasMaximized = IsMaximized();
    DefaultRoute(WindowMessage::kSysCommand, wParam, lParam);
    CControlUI* maxButton = manager_.ControlByName("maxbtn");
    CControlUI* restoreButton = manager_.ControlByName("restorebtn");
    if (wasMaximized != IsMaximized() && maxButton != nullptr && restoreButton != nullptr) {
        maxButton->PutVisible(wasMaximized);
        restoreButton->PutVisible(!wasMaximized);
    }
    // The restore also reaches the custom handler and the manager (a full repaint).
    if (command == SysCommand::kRestore) handled = false;
    return 0;
}

bool WindowImplBase::OpenSkinResource() {
    if (CSkinArchive::GetResourceFolder().empty()) CSkinArchive::SetResourceFolder(ApplicationFolder() + SkinFolder());
    switch (ResourceKind()) {
        case SkinResourceKind::ZipFile: {
            const std::string zip = CSkinArchive::GetResourceFolder() + ZipFileName();
            if (CSkinArchive::IsOpen() || CSkinArchive::OpenFromFile(zip)) return true;
            LOG(INFO) << " Skin archive " << zip << " cannot be opened";
            return false;
        }
        case SkinResourceKind::ZipResource:
            // The application opens its embedded skin archive before its first window.
            if (CSkinArchive::IsOpen()) return true;
            LOG(INFO) << " Skin resource " << ResourceId() << " is not loaded";
            return false;
        default: return true;
    }
}

void WindowImplBase::ApplyFrameAttributes() {
    const WindowAttributes& window = manager_.Window();
    SetCaption(window.caption);
    SetSizeBox(window.sizeBox);
    SetRoundCorner(window.roundCorner.cx, window.roundCorner.cy);
    if (window.constantAlpha) host_.SetLayered(true, window.opacity);
}

WindowImplBase::Result WindowImplBase::MsgCreate(unsigned, std::uintptr_t, std::intptr_t, bool&) {
    SetStyle((Style() & ~WindowStyle::kCaption) | WindowStyle::kClipSiblings | WindowStyle::kClipChildren);
    manager_.AttachToWindow(&host_);
    manager_.SetScale(Scale());
    UIMessage size = Message(UIMessageKind::Size);
    size.size = ToSkin(ClientSize(), Scale());
    manager_.MessageHandler(size);
    manager_.AddPreFilter(this);
    if (!OpenSkinResource()) return 0;
    CLayoutBuilder builder;
    CControlUI* root = builder.Create(SkinFile(), {}, this, &manager_);
    if (root == nullptr) {
        LOG(ERROR) << " Layout " << SkinFile() << " makes no control: " << builder.LastError();
        FatalHandler()();
        return 0;
    }
    manager_.AttachRoot(root);
    manager_.AddListener(this);
    ApplyFrameAttributes();
    InitWindow();
    return 0;
}

void WindowImplBase::WindowGone(HostWindowId) {
    host_.CloseDropDown();
    host_.HideTooltip();
    manager_.RemovePreFilter(this);
    manager_.RemoveListener(this);
    if (manager_.Root() != nullptr) manager_.ForgetControl(manager_.Root());
}

// --- input from the host window ---

void WindowImplBase::OnTimer(unsigned id) {
    if (host_.OnTimer(id)) return;
    RouteMessage(WindowMessage::kTimer, id, 0);
}

void WindowImplBase::OnPaint(CPaintSurface& surface, const std::vector<UIRect>& areas) {
    host_.PaintInto(surface, areas);
}

void WindowImplBase::OnMouseMove(const MouseInput& input) {
    UIMessage move = Message(UIMessageKind::MouseMove);
    move.point = ToSkin(input.point, Scale());
    host_.PointerMoved(move.point);
    move.keyState = std::uint16_t(input.keyState);
    RouteInput(WindowMessage::kMouseMove, move);
}

void WindowImplBase::OnMouseButton(const MouseInput& input) {
    // A press in the owner ends an open drop-down; the press goes on.
    if (input.pressed && host_.DropDown() != nullptr && host_.DropDown()->IsAlive()) host_.CloseDropDown();
    UIMessage button;
    button.point = ToSkin(input.point, Scale());
    button.keyState = std::uint16_t(input.keyState);
    unsigned message = WindowMessage::kOtherInput;
    if (input.button == 1) {
        if (input.pressed && input.clicks >= 2) {
            button.kind = UIMessageKind::DoubleClick;
        } else {
            button.kind = input.pressed ? UIMessageKind::ButtonDown : UIMessageKind::ButtonUp;
            message = input.pressed ? WindowMessage::kLButtonDown : WindowMessage::kLButtonUp;
        }
    } else if (input.button == 3) {
        button.kind = input.pressed ? UIMessageKind::RightButtonDown : UIMessageKind::ContextMenu;
    } else {
        return;
    }
    RouteInput(message, button);
}

void WindowImplBase::OnMouseWheel(int delta, const MouseInput& input) {
    UIMessage wheel = Message(UIMessageKind::MouseWheel);
    wheel.point = ToSkin(input.point, Scale());
    wheel.keyState = std::uint16_t(input.keyState);
    wheel.wheelDelta = delta * 120;
    RouteInput(WindowMessage::kMouseWheel, wheel);
}

void WindowImplBase::OnMouseLeave() {
    host_.PointerLeft();
    RouteInput(WindowMessage::kOtherInput, Message(UIMessageKind::MouseLeave));
}

void WindowImplBase::OnKey(const KeyInput& input) {
    if (CDropDownWindow* list = host_.DropDown(); list != nullptr && list->IsAlive() && list->HandleKey(input)) return;
    UIMessage key;
    key.key = input.virtualKey;
    key.keyState = std::uint16_t(input.keyState);
    const bool alt = (input.keyState & KeyState::kAlt) != 0;
    if (!input.pressed) {
        key.kind = UIMessageKind::KeyUp;
        RouteInput(WindowMessage::kOtherInput, key);
        return;
    }
    if (!alt) {
        key.kind = UIMessageKind::KeyDown;
        RouteInput(WindowMessage::kKeyDown, key);
        return;
    }
    key.kind = UIMessageKind::SysKeyDown;
    RouteInput(WindowMessage::kOtherInput, key);
    const bool alphanumeric = (input.virtualKey >= '0' && input.virtualKey <= '9') ||
                              (input.virtualKey >= 'A' && input.virtualKey <= 'Z');
    if (alphanumeric && IsAlive()) {
        key.kind = UIMessageKind::SysChar;
        key.character = char32_t(input.virtualKey);
        RouteInput(WindowMessage::kOtherInput, key);
    }
}

void WindowImplBase::OnTextInput(const std::string& utf8) {
    const std::size_t count = Utf8::Length(utf8);
    for (std::size_t index = 0; index < count && IsAlive(); ++index) {
        UIMessage character = Message(UIMessageKind::Char);
        character.character = Utf8::First(std::string_view(utf8).substr(Utf8::Offset(utf8, index)));
        character.key = unsigned(character.character);
        RouteInput(WindowMessage::kChar, character);
    }
}

void WindowImplBase::OnTextEditing(const std::string& utf8, int start, int) {
    if (auto* edit = dynamic_cast<CEditUI*>(manager_.FocusedControl())) edit->PutComposition(utf8, std::size_t(std::max(start, 0)));
}

void WindowImplBase::OnFocus(bool gained) {
    // The drop-down may be what took the focus; that is known once this turn's events are in.
    if (!gained) PostToWindow(WindowMessage::kFocusCheck);
    RouteMessage(gained ? WindowMessage::kSetFocus : WindowMessage::kKillFocus, 0, 0);
}

void WindowImplBase::OnSize(int width, int height) {
    // The window and its handlers see skin units.
    const UISize size = ToSkin(UISize{width, height}, Scale());
    RouteMessage(WindowMessage::kSize, unsigned(size.cx), size.cy);
}

}  // namespace ZembraUI
