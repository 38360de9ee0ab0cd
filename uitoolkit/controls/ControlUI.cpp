#include "uitoolkit/controls/ControlUI.h"

#include <algorithm>

#include "uitoolkit/RectMath.h"
#include "uitoolkit/manager/UIManager.h"
#include "uitoolkit/markup/AttributeList.h"
#include "uitoolkit/markup/ColorValue.h"
#include "uitoolkit/markup/NumberList.h"
#include "uitoolkit/render/DrawEngine.h"

namespace ZembraUI {
namespace {

int ReadInt(std::string_view value) { return ParseNumberList(value, 1)[0]; }

char32_t FirstCharacterUpper(std::string_view value) {
    if (value.empty()) return 0;
    const auto first = static_cast<unsigned char>(value.front());
    if (first >= 0x80) return 0;
    return static_cast<char32_t>(first >= 'a' && first <= 'z' ? first - 'a' + 'A' : first);
}

}  // namespace

CControlUI::CControlUI() = default;

CControlUI::~CControlUI() {
    if (manager_ != nullptr) manager_->ForgetControl(this);
}

void CControlUI::Destroy() { delete this; }

const std::string& CControlUI::Name() const { return name_; }
void CControlUI::PutName(const std::string& name) { name_ = name; }
std::string_view CControlUI::TypeName() const { return "ControlUI"; }

void* CControlUI::AsInterface(std::string_view name) {
    if (name == "Control") return this;
    return nullptr;
}

unsigned CControlUI::Flags() const { return 0; }
bool CControlUI::Fire() { return Visible() && Enabled(); }

void CControlUI::Attach(CUIManager* manager, CControlUI* parent, bool) {
    manager_ = manager;
    parent_ = parent;
}

std::string CControlUI::Text() const { return text_; }

void CControlUI::PutText(const std::string& text) {
    if (text_ == text) return;
    text_ = text;
    Invalidate();
}

void CControlUI::Place(const UIRect& rect) {
    UIRect placed = rect;
    if (placed.right < placed.left) placed.right = placed.left;
    if (placed.bottom < placed.top) placed.bottom = placed.top;
    needsLayout_ = false;
    if (placed == pos_) return;
    Invalidate();
    pos_ = placed;
    Invalidate();
}

void CControlUI::PutPadding(const UIRect& padding) {
    padding_ = padding;
    NeedParentUpdate();
}

void CControlUI::PutFixedXY(const UIRect& pos) {
    fixedPos_ = pos;
    fixedSize_ = {pos.right - pos.left, pos.bottom - pos.top};
    NeedParentUpdate();
}

void CControlUI::PutWidth(int width) {
    fixedSize_.cx = std::max(width, 0);
    NeedParentUpdate();
}

void CControlUI::PutHeight(int height) {
    fixedSize_.cy = std::max(height, 0);
    NeedParentUpdate();
}

void CControlUI::PutMinWidth(int width) {
    if (width < 0) return;
    minSize_.cx = width;
    NeedParentUpdate();
}

void CControlUI::PutMaxWidth(int width) {
    if (width < 0) return;
    maxSize_.cx = width;
    NeedParentUpdate();
}

void CControlUI::PutMinHeight(int height) {
    if (height < 0) return;
    minSize_.cy = height;
    NeedParentUpdate();
}

void CControlUI::PutMaxHeight(int height) {
    if (height < 0) return;
    maxSize_.cy = height;
    NeedParentUpdate();
}

void CControlUI::PutRelativePos(int moveX, int moveY, int zoomX, int zoomY) {
    relative_ = {true, moveX, moveY, zoomX, zoomY, {}};
}

void CControlUI::PutTooltip(const std::string& text) { tooltip_ = text; }
void CControlUI::PutShortcut(char32_t key) { shortcut_ = key; }
void CControlUI::PutMenuUsed(bool used) { menuUsed_ = used; }
void CControlUI::PutUserData(const std::string& data) { userData_ = data; }

void CControlUI::PutVisible(bool visible) {
    if (visible_ == visible) return;
    const bool wasFocused = focused_;
    visible_ = visible;
    if (wasFocused && !visible_ && manager_ != nullptr) manager_->MoveFocus(nullptr);
    NeedParentUpdate();
}

bool CControlUI::Enabled() const { return enabled_; }

void CControlUI::PutEnabled(bool enabled) {
    if (enabled_ == enabled) return;
    enabled_ = enabled;
    Invalidate();
}

void CControlUI::PutMouse(bool enabled) { mouseEnabled_ = enabled; }
void CControlUI::PutKeyboard(bool enabled) { keyboardEnabled_ = enabled; }
bool CControlUI::Focused() const { return focused_; }

void CControlUI::TakeFocus() {
    if (manager_ != nullptr) manager_->MoveFocus(this);
}

void CControlUI::PutFloat(bool floating) {
    if (floating_ == floating) return;
    floating_ = floating;
    NeedParentUpdate();
}

CControlUI* CControlUI::Locate(const FindQuery& query) {
    if ((query.flags & FindFlag::kVisible) && !Visible()) return nullptr;
    if ((query.flags & FindFlag::kEnabled) && !Enabled()) return nullptr;
    if ((query.flags & FindFlag::kHitTest) && (!MouseEnabled() || !Contains(pos_, query.point))) return nullptr;
    return query.test(*this) ? this : nullptr;
}

void CControlUI::OnEvent(ControlEvent& event) {
    switch (event.kind) {
    case kEventSetCursor:
        if (manager_ != nullptr) manager_->SetCursor(CursorShape::Arrow);
        return;
    case kEventSetFocus:
        focused_ = true;
        Invalidate();
        return;
    case kEventKillFocus:
        focused_ = false;
        Invalidate();
        return;
    case kEventTimer:
        if (manager_ != nullptr) manager_->SendNotification(this, "timer", event.wParam, event.lParam);
        return;
    case kEventContextMenu:
        if (menuUsed_ && manager_ != nullptr) {
            manager_->SendNotification(this, "menu", 0, reinterpret_cast<std::intptr_t>(this));
        }
        return;
    default:
        break;
    }
    if (parent_ != nullptr) parent_->OnEvent(event);
}

void CControlUI::ApplyAttr(std::string_view name, std::string_view value) {
    const std::string text(value);
    if (name == "name") {
        PutName(text);
    } else if (name == "text") {
        PutText(text);
    } else if (name == "tooltip") {
        PutTooltip(text);
    } else if (name == "tooltipwidth") {
        tooltipWidth_ = std::max(ReadInt(value), 0);
    } else if (name == "userdata") {
        PutUserData(text);
    } else if (name == "width") {
        PutWidth(ReadInt(value));
    } else if (name == "height") {
        PutHeight(ReadInt(value));
    } else if (name == "minwidth") {
        PutMinWidth(ReadInt(value));
    } else if (name == "maxwidth") {
        PutMaxWidth(ReadInt(value));
    } else if (name == "minheight") {
        PutMinHeight(ReadInt(value));
    } else if (name == "maxheight") {
        PutMaxHeight(ReadInt(value));
    } else if (name == "padding") {
        PutPadding(ParseRectValue(value));
    } else if (name == "pos") {
        PutFixedXY(ParseRectValue(value));
    } else if (name == "float") {
        PutFloat(IsTrue(value));
    } else if (name == "relativepos") {
        const UIRect move = ParseRectValue(value);
        PutRelativePos(move.left, move.top, move.right, move.bottom);
    } else if (name == "visible") {
        PutVisible(IsTrue(value));
    } else if (name == "enabled") {
        PutEnabled(IsTrue(value));
    } else if (name == "mouse") {
        PutMouse(IsTrue(value));
    } else if (name == "keyboard") {
        PutKeyboard(IsTrue(value));
    } else if (name == "menu") {
        PutMenuUsed(IsTrue(value));
    } else if (name == "bkcolor" || name == "bkcolor1") {
        PutBkColor(ParseColorValue(value));
    } else if (name == "bkcolor2") {
        bkColor2_ = ParseColorValue(value);
    } else if (name == "bkcolor3") {
        bkColor3_ = ParseColorValue(value);
    } else if (name == "bordercolor") {
        borderColor_ = ParseColorValue(value);
    } else if (name == "focusbordercolor") {
        focusBorderColor_ = ParseColorValue(value);
    } else if (name == "bordersize") {
        if (value.find(',') == std::string_view::npos) {
            borderSize_ = std::max(ReadInt(value), 0);
            borderSides_ = {};
        } else {
            borderSides_ = ParseRectValue(value);
        }
    } else if (name == "leftbordersize") {
        borderSides_.left = ReadInt(value);
    } else if (name == "topbordersize") {
        borderSides_.top = ReadInt(value);
    } else if (name == "rightbordersize") {
        borderSides_.right = ReadInt(value);
    } else if (name == "bottombordersize") {
        borderSides_.bottom = ReadInt(value);
    } else if (name == "borderstyle") {
        borderStyle_ = ReadInt(value);
    } else if (name == "borderround") {
        borderRound_ = ParseSizeValue(value);
    } else if (name == "bkimage") {
        bkImage_ = text;
        Invalidate();
    } else if (name == "colorhsl") {
        colorHsl_ = IsTrue(value);
    } else if (name == "shortcut") {
        PutShortcut(FirstCharacterUpper(value));
    } else if (name == "virtualwnd") {
        virtualWindow_ = text;
        if (manager_ != nullptr) manager_->UseVirtualWindows(true);
    }
}

void CControlUI::ApplyAttrList(std::string_view list) {
    for (const auto& [name, value] : ParseAttributeList(list)) ApplyAttr(name, value);
}

UISize CControlUI::Measure(UISize) { return fixedSize_; }

void CControlUI::Render(cairo_t* cr, const UIRect& paint) {
    const UIRect area = Intersect(paint, pos_);
    if (area.IsEmpty()) return;
    cairo_save(cr);
    cairo_rectangle(cr, area.left, area.top, area.Width(), area.Height());
    cairo_clip(cr);
    if (borderRound_.cx > 0 || borderRound_.cy > 0) {
        CDrawEngine::ClipRoundRect(cr, pos_, borderRound_.cx, borderRound_.cy);
    }
    RenderBkColor(cr, area);
    RenderBkImage(cr, area);
    RenderStateImages(cr, area);
    RenderText(cr, area);
    RenderBorder(cr, area);
    cairo_restore(cr);
    RenderOverlay(cr, area);
}

void CControlUI::RenderBkColor(cairo_t* cr, const UIRect&) {
    // A colour without alpha (six hexadecimal digits) draws nothing.
    if ((bkColor_ >> 24) == 0) return;
    if (bkColor3_ != 0) {
        const int middle = pos_.top + pos_.Height() / 2;
        CDrawEngine::DrawGradient(cr, {pos_.left, pos_.top, pos_.right, middle}, bkColor_, bkColor2_, true, 8);
        CDrawEngine::DrawGradient(cr, {pos_.left, middle, pos_.right, pos_.bottom}, bkColor2_, bkColor3_, true, 8);
    } else if (bkColor2_ != 0) {
        CDrawEngine::DrawGradient(cr, pos_, bkColor_, bkColor2_, true, 16);
    } else {
        CDrawEngine::DrawColor(cr, pos_, bkColor_);
    }
}

void CControlUI::RenderBkImage(cairo_t* cr, const UIRect& paint) {
    if (!bkImage_.empty()) DrawImage(cr, paint, bkImage_);
}

void CControlUI::RenderStateImages(cairo_t*, const UIRect&) {}
void CControlUI::RenderText(cairo_t*, const UIRect&) {}
void CControlUI::RenderOverlay(cairo_t*, const UIRect&) {}

void CControlUI::RenderBorder(cairo_t* cr, const UIRect&) {
    if (borderColor_ == 0 && focusBorderColor_ == 0) return;
    const bool focusColour = Focused() && focusBorderColor_ != 0;
    if (borderSize_ > 0 && (borderRound_.cx > 0 || borderRound_.cy > 0)) {
        CDrawEngine::DrawRoundRect(cr, pos_, borderSize_, borderRound_.cx, borderRound_.cy,
                                   focusColour ? focusBorderColor_ : borderColor_, borderStyle_);
    } else if (focusColour && borderSize_ > 0) {
        CDrawEngine::DrawRect(cr, pos_, borderSize_, focusBorderColor_, borderStyle_);
    } else {
        RenderBorderLines(cr);
    }
}

void CControlUI::RenderBorderLines(cairo_t* cr) {
    const UIRect& sides = borderSides_;
    if (sides.left > 0 || sides.top > 0 || sides.right > 0 || sides.bottom > 0) {
        if (sides.left > 0) {
            CDrawEngine::DrawLine(cr, {pos_.left, pos_.top, pos_.left, pos_.bottom}, sides.left, borderColor_,
                                  borderStyle_);
        }
        if (sides.top > 0) {
            CDrawEngine::DrawLine(cr, {pos_.left, pos_.top, pos_.right, pos_.top}, sides.top, borderColor_,
                                  borderStyle_);
        }
        if (sides.right > 0) {
            CDrawEngine::DrawLine(cr, {pos_.right - 1, pos_.top, pos_.right - 1, pos_.bottom}, sides.right,
                                  borderColor_, borderStyle_);
        }
        if (sides.bottom > 0) {
            CDrawEngine::DrawLine(cr, {pos_.left, pos_.bottom - 1, pos_.right, pos_.bottom - 1}, sides.bottom,
                                  borderColor_, borderStyle_);
        }
    } else if (borderSize_ > 0) {
        CDrawEngine::DrawRect(cr, pos_, borderSize_, borderColor_, borderStyle_);
    }
}

void CControlUI::Invalidate() {
    if (!visible_ || manager_ == nullptr) return;
    UIRect area = pos_;
    for (CControlUI* parent = parent_; parent != nullptr && !area.IsEmpty(); parent = parent->parent_) {
        area = Intersect(area, parent->pos_);
    }
    if (!area.IsEmpty()) manager_->Invalidate(area);
}

void CControlUI::NeedUpdate() {
    if (!visible_) return;
    needsLayout_ = true;
    Invalidate();
    if (manager_ != nullptr) manager_->MarkForLayout();
}

void CControlUI::NeedParentUpdate() {
    if (parent_ != nullptr) {
        parent_->NeedUpdate();
        parent_->Invalidate();
    } else {
        NeedUpdate();
    }
    if (manager_ != nullptr) manager_->MarkForLayout();
}

void CControlUI::AddNotifyDelegate(NotifyDelegate delegate) { delegates_.push_back(std::move(delegate)); }

bool CControlUI::DeliverToDelegates(tagTNotifyUI& notification) {
    bool handled = false;
    for (auto& delegate : delegates_) handled = delegate(notification) || handled;
    return handled;
}

void CControlUI::PutBkColor(std::uint32_t colour) {
    bkColor_ = colour;
    Invalidate();
}

bool CControlUI::DrawImage(cairo_t* cr, const UIRect& paint, std::string_view image, std::string_view modifier) {
    if (manager_ == nullptr || image.empty()) return false;
    return CDrawEngine::DrawImageString(cr, *manager_, pos_, paint, image, modifier);
}

UIRect CControlUI::FloatRect(const UIRect& parent) {
    int width = fixedPos_.right - fixedPos_.left;
    int height = fixedPos_.bottom - fixedPos_.top;
    int x = fixedPos_.left >= 0 ? parent.left + fixedPos_.left : parent.right + fixedPos_.left;
    int y = fixedPos_.top >= 0 ? parent.top + fixedPos_.top : parent.bottom + fixedPos_.top;
    if (relative_.enabled) {
        // Follow the parent's growth since the first placement by the given
        // percentages.
        if (relative_.parentSize == UISize{}) relative_.parentSize = {parent.Width(), parent.Height()};
        const int grownX = parent.Width() - relative_.parentSize.cx;
        const int grownY = parent.Height() - relative_.parentSize.cy;
        x += grownX * relative_.moveX / 100;
        y += grownY * relative_.moveY / 100;
        width += grownX * relative_.zoomX / 100;
        height += grownY * relative_.zoomY / 100;
    }
    return {x, y, x + std::max(width, 0), y + std::max(height, 0)};
}

}  // namespace ZembraUI
