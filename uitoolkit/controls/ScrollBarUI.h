#pragma once
// A scroll bar: two buttons, a rail and a thumb, each drawn from four state
// images. With an owner container it scrolls that container; alone it sends
// "scroll" when its position changes.
#include <array>
#include <string>

#include "uitoolkit/controls/ControlUI.h"

namespace ZembraUI {

class CContainerUI;

class CScrollBarUI : public CControlUI {
public:
    static constexpr int kDefaultSize = 16;

    CScrollBarUI();

    std::string_view TypeName() const override;
    void* AsInterface(std::string_view name) override;

    void PutOwner(CContainerUI* owner) { owner_ = owner; }
    CContainerUI* Owner() const { return owner_; }
    bool Horizontal() const { return horizontal_; }
    void PutHorizontal(bool horizontal);
    int Range() const { return range_; }
    void PutRange(int range);
    int ScrollPos() const { return scrollPos_; }
    // Clamped into 0..range.
    void PutScrollPos(int pos);
    int LineSize() const { return lineSize_; }
    void LineUp();
    void LineDown();
    void PageUp();
    void PageDown();

    UIRect Button1Rect() const { return button1_; }
    UIRect Button2Rect() const { return button2_; }
    UIRect ThumbRect() const { return thumb_; }

    void Place(const UIRect& rect) override;
    void OnEvent(ControlEvent& event) override;
    void ApplyAttr(std::string_view name, std::string_view value) override;
    void RenderStateImages(cairo_t* cr, const UIRect& paint) override;

private:
    enum Part { kButton1, kButton2, kThumb, kRail, kBk, kPartCount };
    enum State { kNormal, kHot, kPushed, kDisabled, kStateCount };
    static constexpr unsigned kHotBit = 0x08;
    static constexpr unsigned kPushedBit = 0x10;

    void Layout();
    void MoveThumbTo(const UIPoint& point);
    void RenderPart(cairo_t* cr, const UIRect& paint, Part part, const UIRect& rect, unsigned state);
    void SetPartHot(const UIPoint& point);

    CContainerUI* owner_ = nullptr;
    bool horizontal_ = false;
    int range_ = 100;
    int scrollPos_ = 0;
    int lineSize_ = 8;
    bool showButton1_ = true;
    bool showButton2_ = true;
    UIRect button1_;
    UIRect button2_;
    UIRect thumb_;
    UIRect rail_;
    std::array<unsigned, 3> partState_{};
    UIPoint dragStart_;
    int dragStartPos_ = 0;
    std::array<std::array<std::string, kStateCount>, kPartCount> images_;
};

}  // namespace ZembraUI
