#pragma once
// Owning handles for cairo objects.
#include <memory>

#include <cairo.h>

namespace ZembraUI {

struct CairoSurfaceRelease {
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
struct CairoPatternRelease {
    void operator()(cairo_pattern_t* pattern) const { cairo_pattern_destroy(pattern); }
};
struct CairoContextRelease {
    void operator()(cairo_t* context) const { cairo_destroy(context); }
};

using CairoSurfacePtr = std::unique_ptr<cairo_surface_t, CairoSurfaceRelease>;
using CairoPatternPtr = std::unique_ptr<cairo_pattern_t, CairoPatternRelease>;
using CairoContextPtr = std::unique_ptr<cairo_t, CairoContextRelease>;

}  // namespace ZembraUI
