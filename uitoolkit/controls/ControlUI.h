#pragma once
// The base of every control: position and size limits, flags, background,
// border, the painting order and the common attributes. Containers own their
// children; a control belongs to at most one manager (its window).
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include <cairo.h>

#include "uitoolkit/Forward.h"
#include "uitoolkit/Geometry.h"
#include "uitoolkit/controls/ControlEvent.h"

namespace ZembraUI {

struct tagTNotifyUI;

// Search flags of Locate.
namespace FindFlag {
constexpr unsigned kVisible = 0x1;
constexpr unsigned kEnabled = 0x2;
constexpr unsigned kHitTest = 0x4;
constexpr unsigned kTopFirst = 0x8;
constexpr unsigned kMeFirst = 0x80000000u;
}  // namespace FindFlag

// Bits of Flags(): the control takes part in Tab navigation, and it chooses
// its own cursor.
namespace ControlFlag {
constexpr unsigned kTabStop = 0x01;
constexpr unsigned kSetCursor = 0x02;
}  // namespace ControlFlag

struct FindQuery {
    std::function<bool(CControlUI&)> test;
    UIPoint point;  // for kHitTest
    unsigned flags = 0;
};

// How a floating control follows its parent's size changes, in percent of
// the change (the "relativepos" attribute).
struct RelativePos {
    bool enabled = false;
    int moveX = 0;
    int moveY = 0;
    int zoomX = 0;
    int zoomY = 0;
    UISize parentSize;  // the parent's size when the control was first placed
};

class CControlUI {
public:
    using NotifyDelegate = std::function<bool(tagTNotifyUI&)>;

    CControlUI();
    virtual ~CControlUI();
    CControlUI(const CControlUI&) = delete;
    CControlUI& operator=(const CControlUI&) = delete;

    // Deletes the control and, for containers, its children.
    virtual void Destroy();
    virtual const std::string& Name() const;
    virtual void PutName(const std::string& name);
    virtual std::string_view TypeName() const;
    // The control itself when it answers to that interface name, else null.
    virtual void* AsInterface(std::string_view name);
    virtual unsigned Flags() const;
    // The control's action; the base only says whether it may act.
    virtual bool Fire();
    // Joins a manager (or leaves one with null) under a parent; init
    // registers the control with the manager (name map, groups).
    virtual void Attach(CUIManager* manager, CControlUI* parent, bool init = true);
    CUIManager* Manager() const { return manager_; }
    CControlUI* Parent() const { return parent_; }

    virtual std::string Text() const;
    virtual void PutText(const std::string& text);

    const UIRect& Pos() const { return pos_; }
    // Sets the position rectangle and lays out what lies inside.
    virtual void Place(const UIRect& rect);
    const UIRect& Padding() const { return padding_; }
    virtual void PutPadding(const UIRect& padding);
    const UIRect& FixedPos() const { return fixedPos_; }
    virtual void PutFixedXY(const UIRect& pos);
    int FixedWidth() const { return fixedSize_.cx; }
    int FixedHeight() const { return fixedSize_.cy; }
    virtual void PutWidth(int width);
    virtual void PutHeight(int height);
    int MinWidth() const { return minSize_.cx; }
    int MaxWidth() const { return maxSize_.cx; }
    int MinHeight() const { return minSize_.cy; }
    int MaxHeight() const { return maxSize_.cy; }
    virtual void PutMinWidth(int width);
    virtual void PutMaxWidth(int width);
    virtual void PutMinHeight(int height);
    virtual void PutMaxHeight(int height);
    const RelativePos& Relative() const { return relative_; }
    virtual void PutRelativePos(int moveX, int moveY, int zoomX, int zoomY);

    const std::string& Tooltip() const { return tooltip_; }
    virtual void PutTooltip(const std::string& text);
    int TooltipWidth() const { return tooltipWidth_; }
    char32_t Shortcut() const { return shortcut_; }
    virtual void PutShortcut(char32_t key);
    bool MenuUsed() const { return menuUsed_; }
    virtual void PutMenuUsed(bool used);
    const std::string& UserData() const { return userData_; }
    virtual void PutUserData(const std::string& data);
    const std::string& VirtualWindow() const { return virtualWindow_; }

    bool Visible() const { return visible_; }
    virtual void PutVisible(bool visible);
    virtual bool Enabled() const;
    virtual void PutEnabled(bool enabled);
    bool MouseEnabled() const { return mouseEnabled_; }
    virtual void PutMouse(bool enabled);
    bool KeyboardEnabled() const { return keyboardEnabled_; }
    virtual void PutKeyboard(bool enabled);
    virtual bool Focused() const;
    virtual void TakeFocus();
    bool Floating() const { return floating_; }
    virtual void PutFloat(bool floating);
    // Where a floating control lies inside its parent's rectangle.
    UIRect FloatRect(const UIRect& parent);

    // The first control of this subtree that passes the query's flags and
    // test, or null.
    virtual CControlUI* Locate(const FindQuery& query);
    virtual void OnEvent(ControlEvent& event);
    // Applies one attribute; unknown names are ignored.
    virtual void ApplyAttr(std::string_view name, std::string_view value);
    // Applies an attribute list text (name="value" pairs).
    void ApplyAttrList(std::string_view list);
    // Desired size for the available size; 0 in a dimension means "share
    // the free space".
    virtual UISize Measure(UISize available);

    // Paints the control where it meets paint, in the fixed order.
    virtual void Render(cairo_t* cr, const UIRect& paint);
    virtual void RenderBkColor(cairo_t* cr, const UIRect& paint);
    virtual void RenderBkImage(cairo_t* cr, const UIRect& paint);
    virtual void RenderStateImages(cairo_t* cr, const UIRect& paint);
    virtual void RenderText(cairo_t* cr, const UIRect& paint);
    virtual void RenderBorder(cairo_t* cr, const UIRect& paint);
    virtual void RenderOverlay(cairo_t* cr, const UIRect& paint);

    // Repaint the control's visible area at the next paint.
    void Invalidate();
    bool NeedsLayout() const { return needsLayout_; }
    void ClearNeedsLayout() { needsLayout_ = false; }
    // Lay out this control again at the next paint.
    void NeedUpdate();
    // Lay out the parent again (the control's size may have changed).
    void NeedParentUpdate();

    // Notification delegates of this control, called before the listeners.
    void AddNotifyDelegate(NotifyDelegate delegate);
    bool DeliverToDelegates(tagTNotifyUI& notification);

    std::uint32_t BkColor() const { return bkColor_; }
    void PutBkColor(std::uint32_t colour);
    const std::string& BkImage() const { return bkImage_; }
    std::uint32_t BorderColor() const { return borderColor_; }
    int BorderSize() const { return borderSize_; }

protected:
    // Changes the fixed width without asking the parent for a layout (for
    // sizes found while the parent is laying out).
    void StoreFixedWidth(int width) { fixedSize_.cx = width; }
    // Draws an image description string over the control; false when a
    // picture is missing or there is no manager.
    bool DrawImage(cairo_t* cr, const UIRect& paint, std::string_view image, std::string_view modifier = {});
    static bool IsTrue(std::string_view value) { return value == "true"; }

    CUIManager* manager_ = nullptr;
    CControlUI* parent_ = nullptr;
    UIRect pos_;
    bool needsLayout_ = true;
    std::string text_;

private:
    void RenderBorderLines(cairo_t* cr);

    std::string name_;
    std::string tooltip_;
    std::string userData_;
    std::string virtualWindow_;
    int tooltipWidth_ = 300;
    char32_t shortcut_ = 0;
    UIRect padding_;
    UIRect fixedPos_;
    UISize fixedSize_;
    UISize minSize_;
    UISize maxSize_{9999, 9999};
    RelativePos relative_;
    bool visible_ = true;
    bool enabled_ = true;
    bool mouseEnabled_ = true;
    bool keyboardEnabled_ = true;
    bool focused_ = false;
    bool floating_ = false;
    bool menuUsed_ = false;
    bool colorHsl_ = false;
    std::uint32_t bkColor_ = 0;
    std::uint32_t bkColor2_ = 0;
    std::uint32_t bkColor3_ = 0;
    std::uint32_t borderColor_ = 0;
    std::uint32_t focusBorderColor_ = 0;
    int borderSize_ = 0;
    UIRect borderSides_;
    int borderStyle_ = 0;
    UISize borderRound_;
    std::string bkImage_;
    std::vector<NotifyDelegate> delegates_;
};

}  // namespace ZembraUI
