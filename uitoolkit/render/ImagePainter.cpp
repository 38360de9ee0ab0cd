#include "uitoolkit/render/ImagePainter.h"

#include <cstdint>

#include "uitoolkit/render/CairoHandles.h"
#include "uitoolkit/render/DrawEngine.h"
#include "uitoolkit/render/ImageDescription.h"
#include "uitoolkit/render/NineGrid.h"

namespace ZembraUI {
namespace {

// Describes the picture's pixels to cairo without copying them. They are
// premultiplied ARGB like cairo's own; opaque pictures are given as RGB24 so
// that pixman copies them instead of blending.
CairoSurfacePtr WrapPicture(const LoadedImage& picture) {
    const int width = picture.width;
    const int height = picture.height;
    if (width <= 0 || height <= 0 || picture.pixels.size() != std::size_t(width) * std::size_t(height)) return {};
    const cairo_format_t format = picture.hasAlpha ? CAIRO_FORMAT_ARGB32 : CAIRO_FORMAT_RGB24;
    if (cairo_format_stride_for_width(format, width) != width * 4) return {};
    // cairo only reads a source surface, although its constructor takes a mutable pointer.
    auto* data = reinterpret_cast<unsigned char*>(const_cast<std::uint32_t*>(picture.pixels.data()));
    CairoSurfacePtr surface(cairo_image_surface_create_for_data(data, format, width, height, width * 4));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return {};
    return surface;
}

// A pattern that puts the source pixels onto dest, stretched when the sizes
// differ. Unscaled cells sample the whole picture pixel for pixel; scaled
// ones sample a sub-surface padded at its edges, so that filtering never
// pulls in pixels from beyond the crop (a neighbouring frame of a strip).
CairoPatternPtr StretchPattern(cairo_surface_t* picture, const UIRect& source, const UIRect& dest) {
    const bool scaled = source.Width() != dest.Width() || source.Height() != dest.Height();
    CairoSurfacePtr crop;
    cairo_surface_t* sampled = picture;
    double originX = source.left;
    double originY = source.top;
    if (scaled) {
        crop.reset(cairo_surface_create_for_rectangle(picture, source.left, source.top, source.Width(),
                                                      source.Height()));
        sampled = crop.get();
        originX = originY = 0;
    }
    CairoPatternPtr pattern(cairo_pattern_create_for_surface(sampled));
    cairo_matrix_t matrix;
    cairo_matrix_init_translate(&matrix, originX, originY);
    cairo_matrix_scale(&matrix, double(source.Width()) / dest.Width(), double(source.Height()) / dest.Height());
    cairo_matrix_translate(&matrix, -dest.left, -dest.top);
    cairo_pattern_set_matrix(pattern.get(), &matrix);
    cairo_pattern_set_extend(pattern.get(), CAIRO_EXTEND_PAD);
    cairo_pattern_set_filter(pattern.get(), scaled ? CAIRO_FILTER_GOOD : CAIRO_FILTER_NEAREST);
    return pattern;
}

// A tiled cell: one tile is made first (the source at 1:1 along the tiled
// axes, stretched along the others, limited to the visible part), then
// repeated from the cell's top-left corner.
CairoPatternPtr TiledPattern(cairo_surface_t* picture, const NineGridCell& cell, const UIRect& visible) {
    const UIRect& dest = cell.dest;
    const UIRect tile{cell.tileX ? dest.left : visible.left, cell.tileY ? dest.top : visible.top,
                      cell.tileX ? dest.left + cell.source.Width() : visible.right,
                      cell.tileY ? dest.top + cell.source.Height() : visible.bottom};
    CairoSurfacePtr tileSurface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, tile.Width(), tile.Height()));
    if (cairo_surface_status(tileSurface.get()) != CAIRO_STATUS_SUCCESS) return {};

    const UIRect stretchedInTile{cell.tileX ? 0 : dest.left - tile.left, cell.tileY ? 0 : dest.top - tile.top,
                                 cell.tileX ? tile.Width() : dest.right - tile.left,
                                 cell.tileY ? tile.Height() : dest.bottom - tile.top};
    CairoContextPtr tileContext(cairo_create(tileSurface.get()));
    CairoPatternPtr fill = StretchPattern(picture, cell.source, stretchedInTile);
    cairo_set_source(tileContext.get(), fill.get());
    cairo_set_operator(tileContext.get(), CAIRO_OPERATOR_SOURCE);
    cairo_paint(tileContext.get());
    tileContext.reset();

    CairoPatternPtr pattern(cairo_pattern_create_for_surface(tileSurface.get()));
    cairo_matrix_t matrix;
    cairo_matrix_init_translate(&matrix, -tile.left, -tile.top);
    cairo_pattern_set_matrix(pattern.get(), &matrix);
    cairo_pattern_set_extend(pattern.get(), CAIRO_EXTEND_REPEAT);
    cairo_pattern_set_filter(pattern.get(), CAIRO_FILTER_NEAREST);
    return pattern;
}

void FillWith(cairo_t* cr, cairo_pattern_t* pattern, const UIRect& area, double alpha) {
    cairo_save(cr);
    cairo_rectangle(cr, area.left, area.top, area.Width(), area.Height());
    cairo_clip(cr);
    cairo_set_source(cr, pattern);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    cairo_paint_with_alpha(cr, alpha);
    cairo_restore(cr);
}

}  // namespace

void CImagePainter::Paint(cairo_t* cr, const LoadedImage& picture, const ImageDescription& image,
                          const UIRect& clip) {
    const UIRect whole{0, 0, picture.width, picture.height};
    const UIRect source = IntersectRects(image.source.value_or(whole), whole);
    const UIRect drawable = IntersectRects(image.dest, clip);
    if (source.IsEmpty() || image.dest.IsEmpty() || drawable.IsEmpty() || image.fade <= 0) return;
    CairoSurfacePtr surface = WrapPicture(picture);
    if (!surface) return;

    const double alpha = image.fade / 255.0;
    for (const NineGridCell& cell :
         SplitNineGrid(source, image.dest, image.corner, image.hole, image.xTiled, image.yTiled)) {
        const UIRect visible = IntersectRects(cell.dest, drawable);
        if (visible.IsEmpty()) continue;
        CairoPatternPtr pattern = cell.tileX || cell.tileY ? TiledPattern(surface.get(), cell, visible)
                                                           : StretchPattern(surface.get(), cell.source, cell.dest);
        if (pattern) FillWith(cr, pattern.get(), visible, alpha);
    }
}

}  // namespace ZembraUI
