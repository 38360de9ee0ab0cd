#pragma once
// A window's offscreen picture: one premultiplied ARGB32 cairo image surface,
// reused across paints and made again only at a new size, with the
// rectangles invalidated since the last present.
#include <cstdint>
#include <vector>

#include <cairo.h>

#include "uitoolkit/Geometry.h"

namespace ZembraUI {

class CPaintSurface {
public:
    CPaintSurface() = default;
    ~CPaintSurface();
    CPaintSurface(const CPaintSurface&) = delete;
    CPaintSurface& operator=(const CPaintSurface&) = delete;

    // (Re)creates the surface when the size changed; the whole area becomes dirty.
    bool Resize(int width, int height);
    int Width() const;
    int Height() const;
    cairo_surface_t* Surface() const;

    void Invalidate(const UIRect& rect);
    bool HasDirty() const;
    // The dirty rectangles (clipped to the surface, coalesced) and forgets them.
    std::vector<UIRect> TakeDirty();

    // A cairo context clipped to rect; the caller destroys it.
    cairo_t* BeginPaint(const UIRect& rect);
    // Sets every pixel of rect to 0 (all four bytes), as a layered window's paint starts.
    void ClearToTransparent(const UIRect& rect);
    // Layered windows: inside rect, a pixel whose alpha is 0 and whose colour is
    // not black becomes opaque (alpha 255); black stays transparent.
    void ApplyLayeredAlphaRule(const UIRect& rect);
    // Pixel at (x, y) as stored (premultiplied ARGB); for tests and screenshots.
    std::uint32_t PixelAt(int x, int y) const;
    // Writes the surface as a PNG file.
    bool WritePng(const char* path) const;

private:
    // Calls visit(first pixel, count) for each row of rect inside the surface,
    // with the pixels flushed before and marked changed after.
    template <typename RowVisitor>
    void VisitRows(const UIRect& rect, RowVisitor visit);

    cairo_surface_t* surface_ = nullptr;
    std::vector<UIRect> dirty_;
};

}  // namespace ZembraUI
