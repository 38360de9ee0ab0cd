#include "uitoolkit/window/DropDownWindow.h"

#include <algorithm>

#include <easylogging++.h>

#include "uitoolkit/ScaleMath.h"
#include "uitoolkit/controls/ComboUI.h"
#include "uitoolkit/controls/VerticalLayoutUI.h"
#include "uitoolkit/manager/UIManager.h"
#include "uitoolkit/window/KeyCodes.h"
#include "uitoolkit/window/WindowMessages.h"
#include "uitoolkit/window/WindowUIHost.h"

namespace ZembraUI {
namespace {

// The list's own look; the combo's "dropbox" list and the window's
// "VerticalLayout" defaults may change any of it.
constexpr char kListAttributes[] =
    "bkcolor=\"#FFFFFFFF\" bordercolor=\"#FFC6C7D2\" bordersize=\"1\" inset=\"1,1,1,1\" vscrollbar=\"true\"";
// A row's height when an item sets none and cannot measure itself.
constexpr int kFallbackRowHeight = 24;

}  // namespace

CDropDownWindow::CDropDownWindow(CComboUI& combo, CHostWindow& owner) : combo_(combo), owner_(owner) {}

CDropDownWindow::~CDropDownWindow() {
    Close();
    // The manager forgets its timers through the host: the host goes last.
    manager_.reset();
}

CVerticalLayoutUI* CDropDownWindow::MakeLayout() {
    auto* layout = new CVerticalLayoutUI();
    // Attached for the attributes only: scroll bars take the window's defaults.
    layout->Attach(manager_.get(), nullptr, false);
    layout->ApplyAttrList(kListAttributes);
    layout->ApplyAttrList(manager_->DefaultAttributeList("VerticalLayout"));
    layout->ApplyAttrList(combo_.DropBoxAttributes());
    layout->Attach(nullptr, nullptr, false);
    return layout;
}

UISize CDropDownWindow::ListSize(int width) const {
    int height = 2;  // the border inset
    for (int index = 0; index < combo_.Count(); ++index) {
        CControlUI* item = combo_.ItemAt(index);
        if (!item->Visible()) continue;
        const int row = item->FixedHeight() > 0 ? item->FixedHeight() : item->Measure({width, 9999}).cy;
        height += row > 0 ? row : kFallbackRowHeight;
    }
    const UISize box = combo_.DropBoxSize();
    return {box.cx > 0 ? box.cx : width, std::min(box.cy > 0 ? box.cy : kDefaultHeight, height)};
}

bool CDropDownWindow::Open() {
    CUIManager* ownerManager = combo_.Manager();
    if (combo_.Count() == 0 || !owner_.IsAlive() || ownerManager == nullptr) return false;
    oldChoice_ = combo_.CurrentSelection();
    const UIRect pos = combo_.Pos();
    const UISize size = ListSize(pos.Width());
    const double scale = ownerManager->Scale();
    const UIRect screen = owner_.ScreenRect();
    const UIRect below = ToDevice(UIRect{pos.left, pos.bottom, pos.left + size.cx, pos.bottom + size.cy}, scale);
    HostWindowOptions options;
    options.title = "dropdown";
    options.popup = PopupKind::DropDown;
    options.x = screen.left + below.left;
    options.y = screen.top + below.top;
    options.width = below.Width();
    options.height = below.Height();
    if (!Create(options)) {
        LOG(INFO) << " Drop-down of " << combo_.Name() << " not opened";
        return false;
    }
    manager_ = std::make_unique<CUIManager>();
    manager_->SetParentManager(ownerManager);
    manager_->SetScale(scale);
    // The owner keeps the keyboard: the list answers its keys through HandleKey.
    host_ = std::make_unique<CWindowUIHost>(*this, *manager_, false);
    manager_->AttachToWindow(host_.get());
    manager_->SetClientSize(size);
    layout_ = MakeLayout();
    for (int index = 0; index < combo_.Count(); ++index) layout_->Add(combo_.ItemAt(index));
    manager_->AttachRoot(layout_);
    manager_->AddListener(this);
    combo_.PutDroppedDown(true);
    Show(true, false);
    return true;
}

void CDropDownWindow::GiveItemsBack() {
    if (layout_ == nullptr) return;
    // The layout only borrowed them: the combo still lists them and owns them.
    while (layout_->Count() > 0) layout_->Remove(layout_->ItemAt(layout_->Count() - 1), true);
    combo_.Attach(combo_.Manager(), combo_.Parent(), false);
    layout_ = nullptr;
}

void CDropDownWindow::Close() {
    if (!IsAlive()) return;
    GiveItemsBack();
    combo_.PutDroppedDown(false);
    combo_.Invalidate();
    // The keyboard goes back to the owner rather than to nobody.
    const bool hadFocus = HasFocus();
    Destroy();
    if (hadFocus) owner_.TakeFocus();
}

void CDropDownWindow::Notify(TNotifyUI& notification) {
    if (notification.type == "windowinit") ShowChoice();
}

void CDropDownWindow::OnFocus(bool gained) {
    if (!gained) owner_.PostToWindow(WindowMessage::kFocusCheck);
}

void CDropDownWindow::ShowChoice() {
    CControlUI* item = combo_.ItemAt(combo_.CurrentSelection());
    if (layout_ == nullptr || item == nullptr || item->Parent() != layout_) return;
    // Rows where the current scroll position puts them, even before the next paint.
    layout_->Place(layout_->Pos());
    const UIRect inner = layout_->InnerRect();
    const UIRect pos = item->Pos();
    UISize scroll = layout_->ScrollPos();
    if (pos.top < inner.top) {
        scroll.cy -= inner.top - pos.top;
    } else if (pos.bottom > inner.bottom) {
        scroll.cy += pos.bottom - inner.bottom;
    } else {
        return;
    }
    layout_->PutScrollPos(scroll);
    layout_->Place(layout_->Pos());
}

void CDropDownWindow::Choose(int index) {
    combo_.SelectItem(index);
    ShowChoice();
}

bool CDropDownWindow::HandleKey(const KeyInput& input) {
    if (!IsAlive() || !input.pressed) return false;
    switch (input.virtualKey) {
        case VirtualKey::kUp: Choose(std::max(combo_.CurrentSelection() - 1, 0)); return true;
        case VirtualKey::kDown: Choose(std::min(combo_.CurrentSelection() + 1, combo_.Count() - 1)); return true;
        case VirtualKey::kReturn: Close(); return true;
        case VirtualKey::kEscape:
            if (combo_.CurrentSelection() != oldChoice_ && oldChoice_ >= 0) combo_.SelectItem(oldChoice_);
            Close();
            return true;
        default: return true;  // the list keeps the keyboard while open
    }
}

void CDropDownWindow::Send(const UIMessage& message) {
    if (manager_ != nullptr && IsAlive()) manager_->HandleEvent(message);
}

void CDropDownWindow::OnMouseMove(const MouseInput& input) {
    UIMessage move;
    move.kind = UIMessageKind::MouseMove;
    move.point = ToSkin(input.point, Scale());
    move.keyState = std::uint16_t(input.keyState);
    if (host_ != nullptr) host_->PointerMoved(move.point);
    Send(move);
}

void CDropDownWindow::OnMouseButton(const MouseInput& input) {
    if (input.button != 1 || manager_ == nullptr) return;
    UIMessage button;
    button.kind = input.pressed ? UIMessageKind::ButtonDown : UIMessageKind::ButtonUp;
    button.point = ToSkin(input.point, Scale());
    button.keyState = std::uint16_t(input.keyState);
    Send(button);
    if (input.pressed || !IsAlive()) return;
    // Only the scroll bar keeps the list open.
    const CControlUI* under = manager_->ControlAtPoint(button.point);
    if (under == nullptr || under->TypeName() != "ScrollBarUI") Close();
}

void CDropDownWindow::OnMouseWheel(int delta, const MouseInput& input) {
    UIMessage wheel;
    wheel.kind = UIMessageKind::MouseWheel;
    wheel.point = ToSkin(input.point, Scale());
    wheel.wheelDelta = delta * 120;
    Send(wheel);
}

void CDropDownWindow::OnMouseLeave() {
    if (host_ != nullptr) host_->PointerLeft();
    UIMessage leave;
    leave.kind = UIMessageKind::MouseLeave;
    Send(leave);
}

void CDropDownWindow::OnTimer(unsigned id) {
    if (host_ != nullptr) host_->OnTimer(id);
}

void CDropDownWindow::OnPaint(CPaintSurface& surface, const std::vector<UIRect>& areas) {
    if (host_ != nullptr) host_->PaintInto(surface, areas);
}

}  // namespace ZembraUI
