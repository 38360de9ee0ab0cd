#include "uitoolkit/controls/ScrollBarUI.h"

#include <algorithm>

#include "uitoolkit/RectMath.h"
#include "uitoolkit/controls/ContainerUI.h"
#include "uitoolkit/manager/UIManager.h"
#include "uitoolkit/markup/NumberList.h"

namespace ZembraUI {
namespace {

constexpr std::array<std::string_view, 5> kPartNames{"button1", "button2", "thumb", "rail", "bk"};
constexpr std::array<std::string_view, 4> kStateNames{"normalimage", "hotimage", "pushedimage", "disabledimage"};

}  // namespace

CScrollBarUI::CScrollBarUI() { PutWidth(kDefaultSize); }

std::string_view CScrollBarUI::TypeName() const { return "ScrollBarUI"; }

void* CScrollBarUI::AsInterface(std::string_view name) {
    if (name == "ScrollBar") return this;
    return CControlUI::AsInterface(name);
}

void CScrollBarUI::PutHorizontal(bool horizontal) {
    if (horizontal_ == horizontal) return;
    horizontal_ = horizontal;
    if (horizontal_) {
        PutWidth(0);
        PutHeight(kDefaultSize);
    } else {
        PutHeight(0);
        PutWidth(kDefaultSize);
    }
}

void CScrollBarUI::PutRange(int range) {
    range_ = std::max(range, 0);
    scrollPos_ = Clamp(scrollPos_, 0, range_);
    Layout();
}

void CScrollBarUI::PutScrollPos(int pos) {
    const int clamped = Clamp(pos, 0, range_);
    if (clamped == scrollPos_) return;
    scrollPos_ = clamped;
    Layout();
    if (owner_ != nullptr) {
        // The owner reads its scroll position from its bars when it lays out.
        owner_->NeedUpdate();
    } else if (manager_ != nullptr) {
        manager_->SendNotification(this, "scroll");
    }
}

void CScrollBarUI::LineUp() { PutScrollPos(scrollPos_ - lineSize_); }
void CScrollBarUI::LineDown() { PutScrollPos(scrollPos_ + lineSize_); }

void CScrollBarUI::PageUp() {
    const int page = horizontal_ ? pos_.Width() : pos_.Height();
    PutScrollPos(scrollPos_ - std::max(page, lineSize_));
}

void CScrollBarUI::PageDown() {
    const int page = horizontal_ ? pos_.Width() : pos_.Height();
    PutScrollPos(scrollPos_ + std::max(page, lineSize_));
}

void CScrollBarUI::Place(const UIRect& rect) {
    CControlUI::Place(rect);
    Layout();
}

void CScrollBarUI::Layout() {
    // Work along the bar's axis as if it were vertical.
    const int start = horizontal_ ? pos_.left : pos_.top;
    const int end = horizontal_ ? pos_.right : pos_.bottom;
    const int thickness = horizontal_ ? pos_.Height() : pos_.Width();
    const int length = end - start;
    const int button = std::min(thickness, length / 2);
    const int button1End = start + (showButton1_ ? button : 0);
    const int button2Start = end - (showButton2_ ? button : 0);
    const int rail = std::max(button2Start - button1End, 0);
    const int thumbLength = range_ > 0 ? std::max(rail * rail / (rail + range_), std::min(thickness, rail)) : rail;
    const int thumbStart = range_ > 0 ? button1End + (rail - thumbLength) * scrollPos_ / range_ : button1End;
    auto span = [&](int from, int to) {
        return horizontal_ ? UIRect{from, pos_.top, to, pos_.bottom} : UIRect{pos_.left, from, pos_.right, to};
    };
    button1_ = showButton1_ ? span(start, button1End) : UIRect{};
    button2_ = showButton2_ ? span(button2Start, end) : UIRect{};
    thumb_ = span(thumbStart, thumbStart + thumbLength);
    rail_ = span(button1End, button2Start);
    Invalidate();
}

void CScrollBarUI::MoveThumbTo(const UIPoint& point) {
    const int moved = horizontal_ ? point.x - dragStart_.x : point.y - dragStart_.y;
    const int rail = horizontal_ ? rail_.Width() : rail_.Height();
    const int thumbLength = horizontal_ ? thumb_.Width() : thumb_.Height();
    const int free = std::max(rail - thumbLength, 1);
    PutScrollPos(dragStartPos_ + moved * range_ / free);
}

void CScrollBarUI::SetPartHot(const UIPoint& point) {
    const std::array<UIRect, 3> rects{button1_, button2_, thumb_};
    for (std::size_t part = 0; part < rects.size(); ++part) {
        if (Contains(rects[part], point)) {
            partState_[part] |= kHotBit;
        } else {
            partState_[part] &= ~kHotBit;
        }
    }
    Invalidate();
}

void CScrollBarUI::OnEvent(ControlEvent& event) {
    if (!MouseEnabled() && IsMouseEvent(event.kind)) {
        CControlUI::OnEvent(event);
        return;
    }
    switch (event.kind) {
    case kEventButtonDown:
    case kEventDoubleClick:
        if (!Enabled()) return;
        if (Contains(button1_, event.mouse)) {
            partState_[kButton1] |= kPushedBit;
            LineUp();
        } else if (Contains(button2_, event.mouse)) {
            partState_[kButton2] |= kPushedBit;
            LineDown();
        } else if (Contains(thumb_, event.mouse)) {
            partState_[kThumb] |= kPushedBit;
            dragStart_ = event.mouse;
            dragStartPos_ = scrollPos_;
        } else if (horizontal_ ? event.mouse.x < thumb_.left : event.mouse.y < thumb_.top) {
            PageUp();
        } else {
            PageDown();
        }
        Invalidate();
        return;
    case kEventMouseMove:
        if (partState_[kThumb] & kPushedBit) MoveThumbTo(event.mouse);
        SetPartHot(event.mouse);
        return;
    case kEventButtonUp:
        for (unsigned& state : partState_) state &= ~kPushedBit;
        Invalidate();
        return;
    case kEventMouseEnter:
        SetPartHot(event.mouse);
        return;
    case kEventMouseLeave:
        for (unsigned& state : partState_) state &= ~kHotBit;
        Invalidate();
        return;
    case kEventScrollWheel:
        if (owner_ != nullptr) {
            owner_->OnEvent(event);
        } else if (event.wParam != 0) {
            LineDown();
        } else {
            LineUp();
        }
        return;
    default:
        CControlUI::OnEvent(event);
    }
}

void CScrollBarUI::ApplyAttr(std::string_view name, std::string_view value) {
    for (std::size_t part = 0; part < kPartNames.size(); ++part) {
        if (!name.starts_with(kPartNames[part])) continue;
        for (std::size_t state = 0; state < kStateNames.size(); ++state) {
            if (name.substr(kPartNames[part].size()) == kStateNames[state]) {
                images_[part][state] = std::string(value);
                Invalidate();
                return;
            }
        }
    }
    if (name == "linesize") {
        lineSize_ = std::max(ParseNumberList(value, 1)[0], 1);
    } else if (name == "range") {
        PutRange(ParseNumberList(value, 1)[0]);
    } else if (name == "value") {
        PutScrollPos(ParseNumberList(value, 1)[0]);
    } else if (name == "showbutton1") {
        showButton1_ = IsTrue(value);
        Layout();
    } else if (name == "showbutton2") {
        showButton2_ = IsTrue(value);
        Layout();
    } else if (name == "hor") {
        PutHorizontal(IsTrue(value));
    } else {
        CControlUI::ApplyAttr(name, value);
    }
}

void CScrollBarUI::RenderPart(cairo_t* cr, const UIRect& paint, Part part, const UIRect& rect, unsigned state) {
    if (rect.IsEmpty()) return;
    const auto& images = images_[part];
    const std::string* image = &images[kNormal];
    if (!Enabled() && !images[kDisabled].empty()) {
        image = &images[kDisabled];
    } else if ((state & kPushedBit) && !images[kPushed].empty()) {
        image = &images[kPushed];
    } else if ((state & kHotBit) && !images[kHot].empty()) {
        image = &images[kHot];
    }
    if (image->empty()) return;
    const std::string dest = "dest='" + std::to_string(rect.left - pos_.left) + "," +
                             std::to_string(rect.top - pos_.top) + "," + std::to_string(rect.right - pos_.left) +
                             "," + std::to_string(rect.bottom - pos_.top) + "'";
    DrawImage(cr, paint, *image, dest);
}

void CScrollBarUI::RenderStateImages(cairo_t* cr, const UIRect& paint) {
    RenderPart(cr, paint, kBk, pos_, 0);
    RenderPart(cr, paint, kRail, rail_, 0);
    RenderPart(cr, paint, kButton1, button1_, partState_[kButton1]);
    RenderPart(cr, paint, kButton2, button2_, partState_[kButton2]);
    if (range_ > 0) RenderPart(cr, paint, kThumb, thumb_, partState_[kThumb]);
}

}  // namespace ZembraUI
