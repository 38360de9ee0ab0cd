#include "uitoolkit/window/TooltipWindow.h"

#include <pango/pangocairo.h>

#include <algorithm>

#include "uitoolkit/ScaleMath.h"
#include "uitoolkit/render/DrawEngine.h"

namespace ZembraUI {
namespace {

constexpr std::uint32_t kTipBackground = 0xFFFFFFE1;

PangoLayout* TipLayout(cairo_t* cr, const std::string& text, int maxWidth) {
    PangoLayout* layout = pango_cairo_create_layout(cr);
    PangoFontDescription* font = pango_font_description_from_string("Sans 9");
    pango_layout_set_font_description(layout, font);
    pango_font_description_free(font);
    pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    pango_layout_set_width(layout, std::max(maxWidth - 2 * CTooltipWindow::kPadding, 1) * PANGO_SCALE);
    pango_layout_set_text(layout, text.c_str(), int(text.size()));
    return layout;
}

UISize MeasureTip(const std::string& text, int maxWidth) {
    cairo_surface_t* scratch = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
    cairo_t* cr = cairo_create(scratch);
    PangoLayout* layout = TipLayout(cr, text, maxWidth);
    int width = 0;
    int height = 0;
    pango_layout_get_pixel_size(layout, &width, &height);
    g_object_unref(layout);
    cairo_destroy(cr);
    cairo_surface_destroy(scratch);
    return {width + 2 * CTooltipWindow::kPadding, height + 2 * CTooltipWindow::kPadding};
}

}  // namespace

void CTooltipWindow::ShowText(const std::string& text, int maxWidth, const UIPoint& screenPoint) {
    text_ = text;
    maxWidth_ = maxWidth > 0 ? maxWidth : 300;
    // Measured in skin units, shown at the desktop's scale.
    const UISize size = ToDevice(MeasureTip(text_, maxWidth_), Scale());
    if (!IsAlive()) {
        HostWindowOptions options;
        options.title = "tooltip";
        options.popup = PopupKind::Tooltip;
        options.width = size.cx;
        options.height = size.cy;
        options.x = screenPoint.x;
        options.y = screenPoint.y;
        if (!Create(options)) return;
    }
    Move(screenPoint.x, screenPoint.y);
    Resize(size.cx, size.cy);
    Invalidate({0, 0, size.cx, size.cy});
    Show(true, false);
}

void CTooltipWindow::Hide() {
    if (IsAlive()) Show(false);
}

void CTooltipWindow::OnPaint(CPaintSurface& surface, const std::vector<UIRect>& areas) {
    const double scale = Scale();
    const UIRect all = ToSkin(UIRect{0, 0, surface.Width(), surface.Height()}, scale);
    for (const UIRect& area : areas) {
        cairo_t* cr = surface.BeginPaint(area);
        if (cr == nullptr) continue;
        cairo_scale(cr, scale, scale);
        CDrawEngine::DrawColor(cr, all, kTipBackground);
        cairo_set_source_rgb(cr, 0x76 / 255.0, 0x76 / 255.0, 0x76 / 255.0);
        cairo_set_line_width(cr, 1);
        cairo_rectangle(cr, 0.5, 0.5, all.Width() - 1, all.Height() - 1);
        cairo_stroke(cr);
        cairo_set_source_rgb(cr, 0, 0, 0);
        cairo_move_to(cr, kPadding, kPadding);
        PangoLayout* layout = TipLayout(cr, text_, maxWidth_);
        pango_cairo_show_layout(cr, layout);
        g_object_unref(layout);
        cairo_destroy(cr);
    }
}

}  // namespace ZembraUI
