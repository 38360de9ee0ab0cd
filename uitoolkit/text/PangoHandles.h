#pragma once
// Owning handles for the glib, pango and cairo objects the text code keeps,
// so every reference is released exactly once.
#include <memory>

#include <cairo.h>
#include <glib-object.h>
#include <pango/pango.h>

namespace ZembraUI {

struct GObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

struct AttrListUnref {
    void operator()(PangoAttrList* list) const { pango_attr_list_unref(list); }
};
using AttrListPtr = std::unique_ptr<PangoAttrList, AttrListUnref>;

struct FontDescriptionFree {
    void operator()(PangoFontDescription* description) const { pango_font_description_free(description); }
};
using FontDescriptionPtr = std::unique_ptr<PangoFontDescription, FontDescriptionFree>;

struct FontMetricsUnref {
    void operator()(PangoFontMetrics* metrics) const { pango_font_metrics_unref(metrics); }
};
using FontMetricsPtr = std::unique_ptr<PangoFontMetrics, FontMetricsUnref>;

struct FontOptionsDestroy {
    void operator()(cairo_font_options_t* options) const { cairo_font_options_destroy(options); }
};
using FontOptionsPtr = std::unique_ptr<cairo_font_options_t, FontOptionsDestroy>;

struct LayoutIterFree {
    void operator()(PangoLayoutIter* iter) const { pango_layout_iter_free(iter); }
};
using LayoutIterPtr = std::unique_ptr<PangoLayoutIter, LayoutIterFree>;

}  // namespace ZembraUI
