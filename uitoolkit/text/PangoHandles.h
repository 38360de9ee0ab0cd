#pragma once
// Owning handles for the glib, pango and cairo objects the text code keeps,
// so every reference is released exactly once.
#include <memory>

#include <cairo.h>
#include <glib-object.h>
#include <pango/pango.h>

namespace ZembraUI {

// Calls Release on the pointer a unique_ptr gives up.
template <auto Release>
struct ReleaseWith {
    template <typename T>
    void operator()(T* handle) const {
        Release(handle);
    }
};

template <typename T>
using GObjectPtr = std::unique_ptr<T, ReleaseWith<g_object_unref>>;
using AttrListPtr = std::unique_ptr<PangoAttrList, ReleaseWith<pango_attr_list_unref>>;
using FontDescriptionPtr = std::unique_ptr<PangoFontDescription, ReleaseWith<pango_font_description_free>>;
using FontMetricsPtr = std::unique_ptr<PangoFontMetrics, ReleaseWith<pango_font_metrics_unref>>;
using FontOptionsPtr = std::unique_ptr<cairo_font_options_t, ReleaseWith<cairo_font_options_destroy>>;
using LayoutIterPtr = std::unique_ptr<PangoLayoutIter, ReleaseWith<pango_layout_iter_free>>;

}  // namespace ZembraUI
