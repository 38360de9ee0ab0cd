#include "uitoolkit/manager/UIManager.h"

#include <algorithm>
#include <cctype>

#include <easylogging++.h>

#include "uitoolkit/RectMath.h"
#include "uitoolkit/controls/ControlUI.h"
#include "uitoolkit/controls/RichEditUI.h"

namespace ZembraUI {
namespace {

constexpr unsigned kDefaultHoverMs = 400;
constexpr std::size_t kMaxFaceLength = 31;
constexpr int kMaxFontSize = 1000;
// Layout passes after which a paint stops looking for controls that still
// need layout (a control that keeps asking would otherwise spin forever).
constexpr int kMaxLayoutPasses = 10000;

bool VisibleInTree(const CControlUI* control) {
    for (; control != nullptr; control = control->Parent()) {
        if (!control->Visible()) return false;
    }
    return true;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// Every control of the subtree the flags let through, in search order.
std::vector<CControlUI*> Collect(CControlUI* root, unsigned flags) {
    std::vector<CControlUI*> found;
    if (root == nullptr) return found;
    root->Locate({[&](CControlUI& control) {
                      found.push_back(&control);
                      return false;
                  },
                  {},
                  flags});
    return found;
}

}  // namespace

CUIManager::CUIManager()
    : measureSurface_(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1)),
      measureContext_(cairo_create(measureSurface_)) {}

CUIManager::~CUIManager() {
    DeleteScheduled();
    queuedNotifications_.clear();
    focus_ = hover_ = click_ = keyControl_ = nullptr;
    CControlUI* root = root_;
    root_ = nullptr;
    delete root;
    for (const ControlTimer& timer : timers_.Records()) {
        if (!timer.stopped && host_ != nullptr) host_->StopNativeTimer(timer.nativeId);
    }
    cairo_destroy(measureContext_);
    cairo_surface_destroy(measureSurface_);
}

void CUIManager::AttachToWindow(IUIHost* host) { host_ = host; }

void CUIManager::SetClientSize(const UISize& size) {
    if (size == clientSize_) return;
    clientSize_ = {std::max(size.cx, 0), std::max(size.cy, 0)};
    if (clientSize_.cx > 0 && clientSize_.cy > 0) surface_.Resize(clientSize_.cx, clientSize_.cy);
    if (root_ != nullptr) root_->NeedUpdate();
    MarkForLayout();
    Invalidate({0, 0, clientSize_.cx, clientSize_.cy});
}

cairo_t* CUIManager::MeasureContext() { return measureContext_; }

// --- the tree ---

bool CUIManager::AttachRoot(CControlUI* root) {
    if (root == nullptr) return false;
    MoveFocus(nullptr);
    keyControl_ = hover_ = click_ = nullptr;
    if (root_ != nullptr && root_ != root) {
        postPaint_.clear();
        ScheduleDelete(root_);
    }
    root_ = root;
    firstLayout_ = updateNeeded_ = focusNeeded_ = true;
    InitControls(root_, nullptr);
    root_->NeedUpdate();
    Invalidate({0, 0, clientSize_.cx, clientSize_.cy});
    return true;
}

void CUIManager::InitControls(CControlUI* control, CControlUI* parent) {
    if (control == nullptr) return;
    control->Attach(this, parent, true);
    for (CControlUI* member : Collect(control, 0)) {
        if (!member->Name().empty()) names_.emplace(member->Name(), member);
    }
}

CControlUI* CUIManager::ControlByName(const std::string& name) const {
    const auto found = names_.find(name);
    return found == names_.end() ? nullptr : found->second;
}

CControlUI* CUIManager::ControlByNameUnder(CControlUI* parent, std::string_view name) const {
    CControlUI* under = parent != nullptr ? parent : root_;
    if (under == nullptr) return nullptr;
    return under->Locate({[&](CControlUI& control) { return EqualsIgnoringCase(control.Name(), name); }, {}, 0});
}

CControlUI* CUIManager::ControlAtPoint(const UIPoint& point) const {
    if (root_ == nullptr) return nullptr;
    return root_->Locate({[&](CControlUI& control) { return Contains(control.Pos(), point); }, point,
                          FindFlag::kVisible | FindFlag::kHitTest | FindFlag::kTopFirst});
}

std::vector<CControlUI*> CUIManager::ControlsByInterface(std::string_view name) const {
    std::vector<CControlUI*> found;
    for (CControlUI* control : Collect(root_, 0)) {
        if (control->AsInterface(name) != nullptr) found.push_back(control);
    }
    return found;
}

void CUIManager::ScheduleDelete(CControlUI* control) {
    if (control == nullptr) return;
    for (CControlUI* member : Collect(control, 0)) ForgetControl(member);
    control->Attach(nullptr, nullptr, false);
    scheduledDeletes_.push_back(control);
    if (host_ != nullptr) host_->PostDeleteMessage();
}

void CUIManager::DeleteScheduled() {
    std::vector<CControlUI*> doomed;
    doomed.swap(scheduledDeletes_);
    for (CControlUI* control : doomed) delete control;
}

void CUIManager::ForgetControl(CControlUI* control) {
    if (control == nullptr) return;
    if (caretControl_ == control) caretControl_ = nullptr;
    if (keyControl_ == control) keyControl_ = nullptr;
    if (hover_ == control) hover_ = nullptr;
    if (click_ == control) click_ = nullptr;
    if (focus_ == control) focus_ = nullptr;
    timers_.Forget(host_, control);
    if (const auto found = names_.find(control->Name()); found != names_.end() && found->second == control) {
        names_.erase(found);
    }
    // A notification about a control that is gone is dropped, not handed
    // to listeners with no sender.
    for (tagTNotifyUI& notification : queuedNotifications_) {
        if (notification.sender == control) notification.sender = nullptr;
    }
    for (auto& [group, members] : optionGroups_) std::erase(members, control);
    std::erase(postPaint_, control);
}

void CUIManager::AddPostPaint(CControlUI* control) {
    if (control != nullptr && std::find(postPaint_.begin(), postPaint_.end(), control) == postPaint_.end()) {
        postPaint_.push_back(control);
    }
}

void CUIManager::RemovePostPaint(CControlUI* control) { std::erase(postPaint_, control); }

bool CUIManager::OwnsControl(const CControlUI* control) const {
    return control != nullptr && control->Manager() == this;
}

// --- input ---

bool CUIManager::HandleEvent(const UIMessage& message) { return PreTranslate(message) || MessageHandler(message); }

bool CUIManager::PreTranslate(const UIMessage& message) { return PreMessage(message); }

bool CUIManager::PreMessage(const UIMessage& message) {
    for (IMessageFilterUI* filter : std::vector<IMessageFilterUI*>(preFilters_)) {
        bool handled = false;
        filter->MessageHandler(message, handled);
        if (handled) return true;
    }
    switch (message.kind) {
    case UIMessageKind::KeyDown: {
        if (message.key != KeyCode::kTab) return false;
        auto* richEdit = focus_ != nullptr ? static_cast<CRichEditUI*>(focus_->AsInterface("RichEdit")) : nullptr;
        if (richEdit != nullptr && richEdit->Visible() && richEdit->Enabled() && richEdit->WantTab()) return false;
        TabToNextControl((message.keyState & KeyState::kShift) == 0);
        return true;
    }
    case UIMessageKind::SysKeyDown:
        if (focus_ != nullptr) SendEventTo(focus_, kEventSysKey, message);
        return false;
    case UIMessageKind::SysChar: {
        char32_t key = message.character;
        if (key >= U'a' && key <= U'z') key = key - U'a' + U'A';
        return HandleShortcut(key);
    }
    default:
        return false;
    }
}

bool CUIManager::HandleShortcut(char32_t key) {
    if (key == 0) return false;
    const std::vector<CControlUI*> order =
        Collect(root_, FindFlag::kEnabled | FindFlag::kTopFirst | FindFlag::kMeFirst);
    for (std::size_t i = 0; i < order.size(); ++i) {
        CControlUI* control = order[i];
        if (!control->Visible() || control->Shortcut() != key) continue;
        // A label names the control that follows it.
        if (control->TypeName() == "LabelUI") {
            control = nullptr;
            for (std::size_t next = i + 1; next < order.size() && control == nullptr; ++next) {
                if (order[next]->Visible()) control = order[next];
            }
            if (control == nullptr) return false;
        }
        control->TakeFocus();
        control->Fire();
        return true;
    }
    return false;
}

bool CUIManager::MessageHandler(const UIMessage& message) {
    DeliverQueuedNotifications();
    for (IMessageFilterUI* filter : std::vector<IMessageFilterUI*>(filters_)) {
        bool handled = false;
        filter->MessageHandler(message, handled);
        if (handled) return true;
    }
    bool answered = false;
    switch (message.kind) {
    case UIMessageKind::MouseMove:
        OnMouseMove(message);
        break;
    case UIMessageKind::ButtonDown:
        OnButtonDown(message, kEventButtonDown);
        break;
    case UIMessageKind::DoubleClick:
        OnButtonDown(message, kEventDoubleClick);
        break;
    case UIMessageKind::RightButtonDown:
        OnButtonDown(message, kEventRightButtonDown);
        break;
    case UIMessageKind::ButtonUp:
        lastMouse_ = message.point;
        if (CControlUI* clicked = click_) {
            if (host_ != nullptr) host_->SetMouseCapture(false);
            mouseCaptured_ = false;
            SendEventTo(clicked, kEventButtonUp, message);
            click_ = nullptr;
        }
        break;
    case UIMessageKind::ContextMenu:
        lastMouse_ = message.point;
        if (CControlUI* clicked = click_) {
            if (host_ != nullptr) host_->SetMouseCapture(false);
            mouseCaptured_ = false;
            SendEventTo(clicked, kEventContextMenu, message, 0, reinterpret_cast<std::intptr_t>(clicked));
            click_ = nullptr;
        }
        break;
    case UIMessageKind::MouseWheel: {
        lastMouse_ = message.point;
        CControlUI* control = ControlAtPoint(message.point);
        if (OwnsControl(control)) SendEventTo(control, kEventScrollWheel, message, message.wheelDelta < 0 ? 1 : 0);
        UIMessage move;
        move.kind = UIMessageKind::MouseMove;
        move.point = lastMouse_;
        MessageHandler(move);
        break;
    }
    case UIMessageKind::MouseHover:
        OnMouseHover(message);
        answered = true;
        break;
    case UIMessageKind::MouseLeave:
        if (host_ != nullptr) host_->HideTooltip();
        if (mouseTracking_) {
            UIMessage away;
            away.kind = UIMessageKind::MouseMove;
            away.point = {-1, -1};
            MessageHandler(away);
        }
        mouseTracking_ = false;
        break;
    case UIMessageKind::SetCursor: {
        if (mouseCaptured_) {
            answered = true;
            break;
        }
        CControlUI* control = ControlAtPoint(lastMouse_);
        if (OwnsControl(control) && (control->Flags() & ControlFlag::kSetCursor)) {
            SendEventTo(control, kEventSetCursor, message);
            answered = true;
        }
        break;
    }
    case UIMessageKind::KeyDown:
        if (focus_ != nullptr) {
            keyControl_ = focus_;
            SendEventTo(focus_, kEventKeyDown, message);
        }
        break;
    case UIMessageKind::KeyUp:
        if (CControlUI* control = keyControl_) {
            keyControl_ = nullptr;
            SendEventTo(control, kEventKeyUp, message);
        }
        break;
    case UIMessageKind::Char:
        if (focus_ != nullptr) SendEventTo(focus_, kEventChar, message);
        break;
    case UIMessageKind::Size:
        if (focus_ != nullptr) SendEventTo(focus_, kEventWindowSize, message);
        SetClientSize(message.size);
        if (root_ != nullptr) root_->NeedUpdate();
        MarkForLayout();
        answered = true;
        break;
    case UIMessageKind::Close:
        OnClose();
        break;
    case UIMessageKind::Timer:
        if (message.timerId == CControlTimers::kCaretTimerId) {
            caretVisible_ = !caretVisible_;
            if (caretControl_ != nullptr) caretControl_->Invalidate();
            answered = true;
        } else if (const auto timer = timers_.Running(message.timerId & 0xFFFF)) {
            SendEventTo(timer->control, kEventTimer, message, timer->id);
            answered = true;
        }
        break;
    case UIMessageKind::RestoreCommand:
        fullLayeredRepaint_ = true;
        Invalidate({0, 0, clientSize_.cx, clientSize_.cy});
        answered = true;
        break;
    case UIMessageKind::DeleteScheduled:
        DeleteScheduled();
        answered = true;
        break;
    default:
        break;
    }
    if (!answered) DeliverQueuedNotifications();
    return answered;
}

void CUIManager::OnMouseMove(const UIMessage& message) {
    if (!mouseTracking_ && host_ != nullptr) host_->TrackMouse(kDefaultHoverMs);
    mouseTracking_ = true;
    lastMouse_ = message.point;
    CControlUI* under = ControlAtPoint(message.point);
    if (under != nullptr && !OwnsControl(under)) return;
    if (under != hover_) {
        if (CControlUI* left = hover_) {
            hover_ = nullptr;
            if (host_ != nullptr) host_->HideTooltip();
            SendEventTo(left, kEventMouseLeave, message);
        }
        if (under != nullptr) {
            hover_ = under;
            SendEventTo(under, kEventMouseEnter, message);
        }
    }
    if (click_ != nullptr) {
        SendEventTo(click_, kEventMouseMove, message);
    } else if (hover_ != nullptr) {
        SendEventTo(hover_, kEventMouseMove, message);
    }
}

void CUIManager::OnButtonDown(const UIMessage& message, int kind) {
    if (host_ != nullptr) host_->TakeNativeFocus();
    lastMouse_ = message.point;
    CControlUI* control = ControlAtPoint(message.point);
    if (!OwnsControl(control)) return;
    click_ = control;
    if (kind != kEventDoubleClick) control->TakeFocus();
    if (host_ != nullptr) host_->SetMouseCapture(true);
    mouseCaptured_ = true;
    // The focus change may have dropped the control (a listener removed it).
    if (click_ == control) SendEventTo(control, kind, message);
}

void CUIManager::OnMouseHover(const UIMessage& message) {
    mouseTracking_ = false;
    CControlUI* control = ControlAtPoint(message.point);
    if (control == nullptr) return;
    if (hover_ != nullptr) SendEventTo(hover_, kEventMouseHover, message);
    if (!control->Tooltip().empty() && host_ != nullptr) {
        host_->ShowTooltip(control->Pos(), control->Tooltip(), control->TooltipWidth());
    }
}

void CUIManager::OnClose() {
    UIMessage none;
    none.point = lastMouse_;
    if (CControlUI* hovered = hover_) {
        hover_ = nullptr;
        SendEventTo(hovered, kEventMouseLeave, none);
    }
    if (CControlUI* clicked = click_) {
        click_ = nullptr;
        SendEventTo(clicked, kEventButtonUp, none);
    }
    MoveFocus(nullptr);
}

ControlEvent CUIManager::MakeEvent(int kind, CControlUI* target, const UIMessage& message) const {
    ControlEvent event;
    event.kind = kind;
    event.sender = target;
    event.timestamp = Now();
    event.mouse = lastMouse_;
    event.keyState = message.keyState;
    event.character = kind == kEventKeyDown || kind == kEventKeyUp || kind == kEventSysKey
                          ? static_cast<char32_t>(message.key)
                          : message.character;
    event.wParam = message.wParam;
    event.lParam = message.lParam;
    return event;
}

void CUIManager::SendEventTo(CControlUI* control, int kind, const UIMessage& message, std::uintptr_t wParam,
                             std::intptr_t lParam) {
    ControlEvent event = MakeEvent(kind, control, message);
    if (wParam != 0) event.wParam = wParam;
    if (lParam != 0) event.lParam = lParam;
    control->OnEvent(event);
}

void CUIManager::MoveFocus(CControlUI* control) {
    if (host_ != nullptr && !host_->HasNativeFocus() && control != focus_) host_->TakeNativeFocus();
    if (control == focus_) return;
    if (CControlUI* old = focus_) {
        ControlEvent event = MakeEvent(kEventKillFocus, control, {});
        old->OnEvent(event);
        SendNotification(old, "killfocus");
        focus_ = nullptr;
    }
    if (!OwnsControl(control) || !VisibleInTree(control) || !control->Enabled()) return;
    focus_ = control;
    ControlEvent event = MakeEvent(kEventSetFocus, control, {});
    control->OnEvent(event);
    SendNotification(control, "setfocus");
}

void CUIManager::TabToNextControl(bool forward) {
    if (updateNeeded_ && forward) {
        // Wait for the layout: the next paint repeats the request.
        focusNeeded_ = true;
        Invalidate({0, 0, clientSize_.cx, clientSize_.cy});
        return;
    }
    const std::vector<CControlUI*> order =
        Collect(root_, FindFlag::kVisible | FindFlag::kEnabled | FindFlag::kMeFirst);
    auto isStop = [](const CControlUI* control) { return (control->Flags() & ControlFlag::kTabStop) != 0; };
    const auto focused = std::find(order.begin(), order.end(), focus_);
    CControlUI* target = nullptr;
    if (forward) {
        const auto from = focused == order.end() ? order.begin() : focused + 1;
        const auto next = std::find_if(from, order.end(), isStop);
        const auto first = std::find_if(order.begin(), order.end(), isStop);
        target = next != order.end() ? *next : (first != order.end() ? *first : nullptr);
    } else {
        const auto before = std::find_if(std::make_reverse_iterator(focused), order.rend(), isStop);
        const auto last = std::find_if(order.rbegin(), order.rend(), isStop);
        target = before != order.rend() ? *before : (last != order.rend() ? *last : nullptr);
    }
    focusNeeded_ = false;
    if (target != nullptr) MoveFocus(target);
}

void CUIManager::SetCursor(CursorShape shape) {
    if (host_ != nullptr) host_->SetCursorShape(shape);
}

// --- notifications ---

void CUIManager::SendNotification(CControlUI* sender, const std::string& type, std::uintptr_t wParam,
                                  std::intptr_t lParam, bool queued) {
    tagTNotifyUI notification;
    notification.type = type;
    notification.sender = sender;
    notification.timestamp = Now();
    notification.mouse = lastMouse_;
    notification.wParam = wParam;
    notification.lParam = lParam;
    if (virtualWindows_) {
        for (const CControlUI* control = sender; control != nullptr; control = control->Parent()) {
            if (!control->VirtualWindow().empty()) {
                notification.virtualWindow = control->VirtualWindow();
                break;
            }
        }
    }
    if (queued) {
        queuedNotifications_.push_back(std::move(notification));
        return;
    }
    DeliverNotification(notification);
}

void CUIManager::DeliverNotification(tagTNotifyUI& notification) {
    if (notification.sender != nullptr) notification.sender->DeliverToDelegates(notification);
    for (INotifyUI* listener : std::vector<INotifyUI*>(listeners_)) {
        if (std::find(listeners_.begin(), listeners_.end(), listener) != listeners_.end()) {
            listener->Notify(notification);
        }
    }
}

void CUIManager::DeliverQueuedNotifications() {
    while (!queuedNotifications_.empty()) {
        tagTNotifyUI notification = std::move(queuedNotifications_.front());
        queuedNotifications_.pop_front();
        if (notification.sender != nullptr) DeliverNotification(notification);
    }
}

void CUIManager::AddListener(INotifyUI* listener) {
    if (listener != nullptr && std::find(listeners_.begin(), listeners_.end(), listener) == listeners_.end()) {
        listeners_.push_back(listener);
    }
}

void CUIManager::RemoveListener(INotifyUI* listener) { std::erase(listeners_, listener); }

void CUIManager::AddPreFilter(IMessageFilterUI* filter) {
    if (filter != nullptr && std::find(preFilters_.begin(), preFilters_.end(), filter) == preFilters_.end()) {
        preFilters_.push_back(filter);
    }
}

void CUIManager::RemovePreFilter(IMessageFilterUI* filter) { std::erase(preFilters_, filter); }

void CUIManager::AddFilter(IMessageFilterUI* filter) {
    if (filter != nullptr && std::find(filters_.begin(), filters_.end(), filter) == filters_.end()) {
        filters_.push_back(filter);
    }
}

void CUIManager::RemoveFilter(IMessageFilterUI* filter) { std::erase(filters_, filter); }

// --- timers ---

bool CUIManager::StartTimer(CControlUI* control, unsigned id, unsigned intervalMs) {
    if (control == nullptr) return false;
    return timers_.Start(host_, control, id, intervalMs);
}

bool CUIManager::StopTimer(CControlUI* control, unsigned id) { return timers_.Stop(host_, control, id); }

void CUIManager::StartCaret(CControlUI* control) {
    caretControl_ = control;
    caretVisible_ = true;
    if (host_ != nullptr) host_->StartNativeTimer(CControlTimers::kCaretTimerId, kCaretBlinkMs);
}

void CUIManager::StopCaret(CControlUI* control) {
    if (control != caretControl_) return;
    caretControl_ = nullptr;
    caretVisible_ = false;
    if (host_ != nullptr) host_->StopNativeTimer(CControlTimers::kCaretTimerId);
}

void CUIManager::StopTimers(CControlUI* control) { timers_.Forget(host_, control); }

std::uint32_t CUIManager::Now() const { return host_ != nullptr ? host_->TickCount() : 0; }

// --- painting ---

void CUIManager::Invalidate(const UIRect& rect) {
    const UIRect area = Intersect(rect, {0, 0, clientSize_.cx, clientSize_.cy});
    if (area.IsEmpty()) return;
    surface_.Invalidate(area);
    if (host_ != nullptr) host_->InvalidateRect(area);
}

void CUIManager::MarkForLayout() { updateNeeded_ = true; }

void CUIManager::LayOutIfNeeded() {
    if (!updateNeeded_) return;
    updateNeeded_ = false;
    if (clientSize_.cx <= 0 || clientSize_.cy <= 0) return;
    if (root_->NeedsLayout()) {
        root_->Place({0, 0, clientSize_.cx, clientSize_.cy});
    } else {
        const FindQuery needsLayout{[](CControlUI& control) { return control.NeedsLayout(); }, {},
                                    FindFlag::kVisible | FindFlag::kMeFirst};
        for (int pass = 0; pass < kMaxLayoutPasses; ++pass) {
            CControlUI* control = root_->Locate(needsLayout);
            if (control == nullptr) break;
            control->Place(control->Pos());
            control->ClearNeedsLayout();
        }
    }
    if (firstLayout_) {
        firstLayout_ = false;
        SendNotification(root_, "windowinit");
    }
}

std::vector<UIRect> CUIManager::Paint() {
    std::vector<UIRect> painted;
    if (!surface_.HasDirty() && !updateNeeded_) return painted;
    if (root_ == nullptr) {
        surface_.TakeDirty();
        return painted;
    }
    LayOutIfNeeded();
    if (focusNeeded_) TabToNextControl(true);
    if (root_ == nullptr || surface_.Surface() == nullptr) {
        surface_.TakeDirty();
        return painted;
    }
    const UIRect client{0, 0, clientSize_.cx, clientSize_.cy};
    std::vector<UIRect> dirty = surface_.TakeDirty();
    if (IsLayered() && fullLayeredRepaint_) dirty = {client};
    fullLayeredRepaint_ = false;
    for (const UIRect& rect : dirty) {
        PaintRect(rect);
        painted.push_back(rect);
    }
    if (updateNeeded_) Invalidate(client);
    return painted;
}

void CUIManager::PaintRect(const UIRect& rect) {
    if (IsLayered()) surface_.ClearToTransparent(rect);
    cairo_t* cr = surface_.BeginPaint(rect);
    if (cr == nullptr) return;
    root_->Render(cr, rect);
    for (CControlUI* control : std::vector<CControlUI*>(postPaint_)) control->Render(cr, rect);
    cairo_destroy(cr);
    if (IsLayered()) surface_.ApplyLayeredAlphaRule(rect);
}

// --- fonts ---

const FontInfo* CUIManager::AddFontEntry(const std::string& face, int size, bool bold, bool underline, bool italic) {
    if (size <= 0 || size > kMaxFontSize) {
        LOG(INFO) << " Font " << face << " of size " << size << " refused";
        return nullptr;
    }
    FontInfo font;
    font.face = face.substr(0, kMaxFaceLength);
    font.size = size;
    font.bold = bold;
    font.underline = underline;
    font.italic = italic;
    fonts_.push_back(font);
    return &fonts_.back();
}

const FontInfo& CUIManager::FontAt(int index) const {
    if (index >= 0 && index < FontCount()) return fonts_[static_cast<std::size_t>(index)];
    if (parent_ != nullptr) return parent_->FontAt(index);
    return DefaultFont();
}

const FontInfo& CUIManager::DefaultFont() const { return TopManager().defaultFont_; }

void CUIManager::SetDefaultFont(const FontInfo& font) { defaultFont_ = font; }

// --- images ---

const LoadedImage* CUIManager::ImageByName(const std::string& name, const std::string& resType, std::uint32_t mask) {
    if (name.empty()) return nullptr;
    if (const auto found = images_.find(name); found != images_.end()) return found->second.get();
    if (parent_ != nullptr) {
        if (const LoadedImage* shared = parent_->ImageByName(name, resType, mask)) return shared;
    }
    // A picture that failed once is not read again at every paint.
    if (missingImages_.count(name) != 0) return nullptr;
    std::optional<LoadedImage> image = CDrawEngine::LoadImage(name, resType, mask);
    if (!image) {
        missingImages_.insert(name);
        return nullptr;
    }
    auto& slot = images_[name];
    slot = std::make_unique<LoadedImage>(std::move(*image));
    return slot.get();
}

const LoadedImage* CUIManager::AddBitmapImage(const std::string& name, LoadedImage image) {
    if (image.width <= 0 || image.height <= 0 ||
        image.pixels.size() < std::size_t(image.width) * std::size_t(image.height)) {
        return nullptr;
    }
    if (images_.count(name) != 0) return nullptr;
    missingImages_.erase(name);
    auto& slot = images_[name];
    slot = std::make_unique<LoadedImage>(std::move(image));
    return slot.get();
}

void CUIManager::RemoveAllImages() {
    images_.clear();
    missingImages_.clear();
}

bool CUIManager::RemoveImage(const std::string& name) { return images_.erase(name) != 0; }

std::size_t CUIManager::ImageCacheBytes() const {
    std::size_t bytes = 0;
    for (const auto& [name, image] : images_) bytes += image->pixels.size() * sizeof(std::uint32_t);
    return bytes;
}

// --- shared resources ---

void CUIManager::AddDefaultAttributeList(const std::string& name, const std::string& list) {
    defaultAttributes_[name] = list;
}

std::string CUIManager::DefaultAttributeList(const std::string& name) const {
    for (const CUIManager* manager = this; manager != nullptr; manager = manager->parent_) {
        if (const auto found = manager->defaultAttributes_.find(name); found != manager->defaultAttributes_.end()) {
            return found->second;
        }
    }
    return {};
}

bool CUIManager::SetParentManager(CUIManager* parent) {
    for (const CUIManager* manager = parent; manager != nullptr; manager = manager->parent_) {
        if (manager == this) return false;
    }
    parent_ = parent;
    return true;
}

const CUIManager& CUIManager::TopManager() const {
    const CUIManager* manager = this;
    while (manager->parent_ != nullptr) manager = manager->parent_;
    return *manager;
}

void CUIManager::AddOptionGroup(const std::string& group, CControlUI* option) {
    auto& members = optionGroups_[group];
    if (std::find(members.begin(), members.end(), option) == members.end()) members.push_back(option);
}

void CUIManager::RemoveOptionGroup(const std::string& group, CControlUI* option) {
    const auto found = optionGroups_.find(group);
    if (found == optionGroups_.end()) return;
    std::erase(found->second, option);
    if (found->second.empty()) optionGroups_.erase(found);
}

const std::vector<CControlUI*>* CUIManager::OptionGroup(const std::string& group) const {
    const auto found = optionGroups_.find(group);
    return found == optionGroups_.end() ? nullptr : &found->second;
}

// --- window attributes ---

bool CUIManager::ApplyWindowAttribute(std::string_view name, std::string_view value) {
    if (!ZembraUI::ApplyWindowAttribute(window_, name, value)) return false;
    if (name == "size") SetInitSize(window_.initSize);
    if ((name == "alpha" || name == "bktrans") && host_ != nullptr) {
        host_->SetLayered(window_.layered || window_.constantAlpha, window_.opacity);
    }
    return true;
}

const WindowAttributes& CUIManager::Window() const { return TopManager().window_; }

TextColours CUIManager::ColoursFor(std::uint32_t textColour) const {
    const WindowAttributes& window = Window();
    return {textColour, window.linkTextColor, window.linkHoverTextColor, window.selectedBkColor};
}

void CUIManager::SetInitSize(const UISize& size) {
    window_.initSize = size;
    if (root_ == nullptr && host_ != nullptr) host_->ResizeClient(size);
}

}  // namespace ZembraUI
