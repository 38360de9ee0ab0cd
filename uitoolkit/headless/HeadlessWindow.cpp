#include "uitoolkit/headless/HeadlessWindow.h"

#include "uitoolkit/controls/ControlUI.h"
#include "uitoolkit/controls/Utf8.h"
#include "uitoolkit/markup/LayoutBuilder.h"
#include "uitoolkit/markup/MarkupDoc.h"

namespace ZembraUI {

CHeadlessWindow::CHeadlessWindow()
    : manager_(std::make_unique<CUIManager>()), host_(std::make_unique<CHeadlessHost>(*manager_)) {
    manager_->AttachToWindow(host_.get());
    host_->SetNativeFocus(true);
}

CHeadlessWindow::~CHeadlessWindow() {
    // The manager stops its timers through the host on the way out.
    manager_.reset();
}

bool CHeadlessWindow::Attach(CControlUI* root) {
    if (root == nullptr) return false;
    if (manager_->ClientSize().cx <= 0 || manager_->ClientSize().cy <= 0) Resize(kDefaultSize);
    return manager_->AttachRoot(root);
}

bool CHeadlessWindow::Load(const std::string& layoutFile, IDialogBuilderCallback* callback) {
    CLayoutBuilder builder;
    CControlUI* root = builder.Create(layoutFile, {}, callback, manager_.get());
    lastError_ = root == nullptr ? (builder.LastError().empty() ? "no control in " + layoutFile : builder.LastError())
                                 : std::string();
    return Attach(root);
}

bool CHeadlessWindow::LoadMarkup(std::string_view markup, IDialogBuilderCallback* callback) {
    CMarkupDoc doc;
    if (!doc.LoadFromMemory(reinterpret_cast<const unsigned char*>(markup.data()), markup.size())) {
        lastError_ = doc.GetLastErrorMessage();
        return false;
    }
    CLayoutBuilder builder;
    CControlUI* root = builder.Create(doc, callback, manager_.get());
    lastError_ = root == nullptr ? "no control in the markup" : "";
    return Attach(root);
}

void CHeadlessWindow::Resize(UISize size) {
    UIMessage message;
    message.kind = UIMessageKind::Size;
    message.size = size;
    manager_->HandleEvent(message);
}

std::vector<UIRect> CHeadlessWindow::Pump() {
    host_->DeliverPosted();
    return manager_->Paint();
}

void CHeadlessWindow::Send(const UIMessage& message) { manager_->HandleEvent(message); }

namespace {
UIMessage Pointer(UIMessageKind kind, UIPoint point, std::uint16_t keyState) {
    UIMessage message;
    message.kind = kind;
    message.point = point;
    message.keyState = keyState;
    return message;
}
}  // namespace

void CHeadlessWindow::MoveTo(UIPoint point) { Send(Pointer(UIMessageKind::MouseMove, point, 0)); }

void CHeadlessWindow::Press(UIPoint point, std::uint16_t keyState) {
    MoveTo(point);
    Send(Pointer(UIMessageKind::ButtonDown, point, keyState | KeyState::kLeftButton));
}

void CHeadlessWindow::Release(UIPoint point, std::uint16_t keyState) {
    Send(Pointer(UIMessageKind::ButtonUp, point, keyState));
}

void CHeadlessWindow::Click(UIPoint point) {
    Press(point);
    Release(point);
}

void CHeadlessWindow::KeyDown(unsigned key, std::uint16_t keyState) { SendKey(UIMessageKind::KeyDown, key, keyState); }

void CHeadlessWindow::KeyUp(unsigned key, std::uint16_t keyState) { SendKey(UIMessageKind::KeyUp, key, keyState); }

void CHeadlessWindow::SendKey(UIMessageKind kind, unsigned key, std::uint16_t keyState) {
    UIMessage message;
    message.kind = kind;
    message.key = key;
    message.keyState = keyState;
    Send(message);
}

void CHeadlessWindow::PressKey(unsigned key, std::uint16_t keyState) {
    KeyDown(key, keyState);
    KeyUp(key, keyState);
}

void CHeadlessWindow::Type(std::string_view utf8) {
    while (!utf8.empty()) {
        UIMessage message;
        message.kind = UIMessageKind::Char;
        message.character = Utf8::First(utf8);
        Send(message);
        utf8.remove_prefix(Utf8::Offset(utf8, 1));
    }
}

void CHeadlessWindow::Wheel(UIPoint point, int delta) {
    UIMessage message = Pointer(UIMessageKind::MouseWheel, point, 0);
    message.wheelDelta = delta;
    Send(message);
}

bool CHeadlessWindow::WritePng(const std::string& path) const { return manager_->Surface().WritePng(path.c_str()); }

}  // namespace ZembraUI
