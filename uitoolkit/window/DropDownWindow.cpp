#include "uitoolkit/window/DropDownWindow.h"

#include <algorithm>

#include <easylogging++.h>

#include "uitoolkit/controls/ComboUI.h"
#include "uitoolkit/controls/ListLabelElementUI.h"
#include "uitoolkit/render/DrawEngine.h"
#include "uitoolkit/window/KeyCodes.h"
#include "uitoolkit/window/WindowMessages.h"

namespace ZembraUI {

CDropDownWindow::CDropDownWindow(CComboUI& combo, CHostWindow& owner) : combo_(combo), owner_(owner) {}

bool CDropDownWindow::Open() {
    const int rows = combo_.Count();
    if (rows == 0 || !owner_.IsAlive()) return false;
    oldChoice_ = combo_.CurrentSelection();
    hotRow_ = oldChoice_;
    if (CControlUI* first = combo_.ItemAt(0); first != nullptr && first->FixedHeight() > 0) {
        rowHeight_ = first->FixedHeight();
    }
    const UIRect pos = combo_.Pos();
    const UISize box = combo_.DropBoxSize();
    const int height = std::min(box.cy > 0 ? box.cy : 150, rows * rowHeight_);
    const UIRect screen = owner_.ScreenRect();
    HostWindowOptions options;
    options.title = "dropdown";
    options.popup = PopupKind::DropDown;
    options.x = screen.left + pos.left;
    options.y = screen.top + pos.bottom;
    options.width = box.cx > 0 ? box.cx : pos.Width();
    options.height = height;
    if (!Create(options)) {
        LOG(INFO) << " Drop-down of " << combo_.Name() << " not opened";
        return false;
    }
    combo_.PutDroppedDown(true);
    Invalidate({0, 0, options.width, options.height});
    Show(true, false);
    return true;
}

void CDropDownWindow::Close() {
    if (!IsAlive()) return;
    combo_.PutDroppedDown(false);
    combo_.Invalidate();
    // The keyboard goes back to the owner rather than to nobody.
    const bool hadFocus = HasFocus();
    Destroy();
    if (hadFocus) owner_.TakeFocus();
}

void CDropDownWindow::OnFocus(bool gained) {
    if (!gained) owner_.PostToWindow(WindowMessage::kFocusCheck);
}

int CDropDownWindow::RowAt(const UIPoint& point) const {
    if (point.y < 0 || point.x < 0 || point.x >= ClientSize().cx) return -1;
    const int row = point.y / rowHeight_;
    return row < combo_.Count() ? row : -1;
}

void CDropDownWindow::Choose(int row) {
    if (row >= 0) combo_.SelectItem(row);
    hotRow_ = combo_.CurrentSelection();
    Invalidate({0, 0, ClientSize().cx, ClientSize().cy});
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

void CDropDownWindow::OnMouseMove(const MouseInput& input) {
    const int row = RowAt(input.point);
    if (row == hotRow_) return;
    hotRow_ = row;
    Invalidate({0, 0, ClientSize().cx, ClientSize().cy});
}

void CDropDownWindow::OnMouseButton(const MouseInput& input) {
    if (input.button != 1 || input.pressed) return;
    const int row = RowAt(input.point);
    if (row < 0) return;
    combo_.SelectItem(row);
    Close();
}

void CDropDownWindow::OnPaint(CPaintSurface& surface, const std::vector<UIRect>& areas) {
    const ListItemStyle& style = combo_.ItemStyle();
    const int width = surface.Width();
    for (const UIRect& area : areas) {
        cairo_t* cr = surface.BeginPaint(area);
        if (cr == nullptr) continue;
        CDrawEngine::DrawColor(cr, {0, 0, width, surface.Height()}, 0xFFFFFFFF);
        for (int row = 0; row < combo_.Count(); ++row) {
            const UIRect rect{0, row * rowHeight_, width, (row + 1) * rowHeight_};
            const bool selected = row == combo_.CurrentSelection();
            if (selected) {
                CDrawEngine::DrawColor(cr, rect, style.selectedBkColor);
            } else if (row == hotRow_) {
                CDrawEngine::DrawColor(cr, rect, style.hotBkColor);
            }
            if (auto* item = dynamic_cast<CListLabelElementUI*>(combo_.ItemAt(row))) item->DrawItemText(cr, rect, true);
        }
        cairo_set_source_rgb(cr, 0.6, 0.6, 0.6);
        cairo_set_line_width(cr, 1);
        cairo_rectangle(cr, 0.5, 0.5, width - 1, surface.Height() - 1);
        cairo_stroke(cr);
        cairo_destroy(cr);
    }
}

}  // namespace ZembraUI
