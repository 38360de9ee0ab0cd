#include "uitoolkit/controls/BoxLayoutUI.h"

#include <algorithm>

#include "uitoolkit/RectMath.h"
#include "uitoolkit/controls/ScrollBarUI.h"

namespace ZembraUI {
namespace {

// Reads and writes sizes and rectangles along the layout's main axis (the
// one children are stacked on) and its cross axis.
struct Axes {
    bool vertical;

    int Main(const UISize& size) const { return vertical ? size.cy : size.cx; }
    int Cross(const UISize& size) const { return vertical ? size.cx : size.cy; }
    UISize Size(int main, int cross) const { return vertical ? UISize{cross, main} : UISize{main, cross}; }
    int MainStart(const UIRect& rect) const { return vertical ? rect.top : rect.left; }
    int CrossStart(const UIRect& rect) const { return vertical ? rect.left : rect.top; }
    int MainLength(const UIRect& rect) const { return vertical ? rect.Height() : rect.Width(); }
    int CrossLength(const UIRect& rect) const { return vertical ? rect.Width() : rect.Height(); }
    // Padding before and after the child on each axis.
    int MainPadding(const UIRect& padding) const {
        return vertical ? padding.top + padding.bottom : padding.left + padding.right;
    }
    int MainLead(const UIRect& padding) const { return vertical ? padding.top : padding.left; }
    int CrossPadding(const UIRect& padding) const {
        return vertical ? padding.left + padding.right : padding.top + padding.bottom;
    }
    int CrossLead(const UIRect& padding) const { return vertical ? padding.left : padding.top; }
    int MainMin(const CControlUI& c) const { return vertical ? c.MinHeight() : c.MinWidth(); }
    int MainMax(const CControlUI& c) const { return vertical ? c.MaxHeight() : c.MaxWidth(); }
    int CrossMin(const CControlUI& c) const { return vertical ? c.MinWidth() : c.MinHeight(); }
    int CrossMax(const CControlUI& c) const { return vertical ? c.MaxWidth() : c.MaxHeight(); }
    int CrossFixed(const CControlUI& c) const { return vertical ? c.FixedWidth() : c.FixedHeight(); }
    UIRect Rect(int mainStart, int crossStart, int main, int cross) const {
        return vertical ? UIRect{crossStart, mainStart, crossStart + cross, mainStart + main}
                        : UIRect{mainStart, crossStart, mainStart + main, crossStart + cross};
    }
};

int ClampToLimits(int value, int low, int high) { return std::min(std::max(value, low), std::max(high, low)); }

}  // namespace

CBoxLayoutUI::CBoxLayoutUI(Orientation orientation) : orientation_(orientation) {}

void CBoxLayoutUI::Place(const UIRect& rect) {
    CControlUI::Place(rect);
    const Axes axes{orientation_ == Orientation::Vertical};

    // 1. The inner rectangle leaves out the inset and the visible scroll bars.
    const UIRect inner = InnerRect();
    // 2. Nothing to arrange: the scroll bars have no content.
    if (items_.empty()) {
        ProcessScrollBar(inner, 0, 0);
        return;
    }
    // 3. The cross axis may scroll: children see its whole scrollable extent.
    const UISize range = ScrollRange();
    const int crossAvailable = axes.CrossLength(inner) + axes.Cross(range);
    const int mainAvailable = axes.MainLength(inner);
    const UISize available = axes.Size(mainAvailable, crossAvailable);

    // 4. First pass: fixed children claim their size and paddings; children
    //    that want no particular size share the rest.
    int adjustable = 0;
    int fixedTotal = 0;
    int count = 0;
    for (CControlUI* child : items_) {
        if (!child->Visible() || child->Floating()) continue;
        const int desired = axes.Main(child->Measure(available));
        if (desired == 0) {
            ++adjustable;
        } else {
            fixedTotal += ClampToLimits(desired, axes.MainMin(*child), axes.MainMax(*child)) +
                          axes.MainPadding(child->Padding());
        }
        ++count;
    }
    // 5. Adjustable children get equal shares; the remainder of the integer
    //    division stays unused at the end.
    int expand = 0;
    if (adjustable > 0) {
        expand = std::max(0, (mainAvailable - childPadding_ * (count - 1) - fixedTotal) / adjustable);
    }

    // 6. Second pass: place the children one after another.
    const UISize scroll = ScrollPos();
    int position = axes.MainStart(inner) - axes.Main(scroll);
    const int crossStart = axes.CrossStart(inner) - axes.Cross(scroll);
    int remaining = mainAvailable;
    int content = 0;
    for (CControlUI* child : items_) {
        if (!child->Visible()) continue;
        if (child->Floating()) {
            child->Place(child->FloatRect(pos_));
            continue;
        }
        const UIRect& padding = child->Padding();
        const int measured =
            axes.Main(child->Measure(axes.Size(remaining - axes.MainLead(padding), crossAvailable)));
        const int main = ClampToLimits(measured == 0 ? expand : measured, axes.MainMin(*child), axes.MainMax(*child));
        int cross = axes.CrossFixed(*child);
        if (cross == 0) cross = std::max(0, crossAvailable - axes.CrossPadding(padding));
        cross = ClampToLimits(cross, axes.CrossMin(*child), axes.CrossMax(*child));
        child->Place(axes.Rect(position + axes.MainLead(padding), crossStart + axes.CrossLead(padding), main, cross));
        const int step = main + axes.MainPadding(padding);
        position += step + childPadding_;
        remaining -= step + childPadding_;
        content += step;
    }
    // 7. The content extent drives the scroll bars.
    content += childPadding_ * std::max(count - 1, 0);
    int crossContent = 0;
    for (CControlUI* child : items_) {
        // Children without a fixed cross size follow the available extent.
        if (!child->Visible() || child->Floating() || axes.CrossFixed(*child) == 0) continue;
        const int extent = axes.CrossLength(child->Pos()) + axes.CrossPadding(child->Padding());
        crossContent = std::max(crossContent, extent);
    }
    const UISize required = axes.Size(content, crossContent);
    ProcessScrollBar(inner, required.cx, required.cy);
}

}  // namespace ZembraUI
