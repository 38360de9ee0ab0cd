#include "uitoolkit/render/PaintSurface.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include <easylogging++.h>

namespace ZembraUI {
namespace {

// Beyond this many separate rectangles one bounding box is cheaper to track.
constexpr std::size_t kMaxDirtyRects = 16;
// cairo's own limit for image surfaces.
constexpr int kMaxSurfaceSide = 32767;

long long Area(const UIRect& rect) { return rect.IsEmpty() ? 0 : (long long)rect.Width() * rect.Height(); }

bool Touch(const UIRect& a, const UIRect& b) {
    return a.left <= b.right && b.left <= a.right && a.top <= b.bottom && b.top <= a.bottom;
}

// Overlapping rectangles are always merged, so none is painted twice;
// neighbours only when their bounding box adds no area.
bool ShouldMerge(const UIRect& a, const UIRect& b) {
    if (!IntersectRects(a, b).IsEmpty()) return true;
    return Touch(a, b) && Area(UnionRects(a, b)) <= Area(a) + Area(b);
}

}  // namespace

CPaintSurface::~CPaintSurface() {
    if (surface_ != nullptr) cairo_surface_destroy(surface_);
}

bool CPaintSurface::Resize(int width, int height) {
    if (surface_ != nullptr && width == Width() && height == Height()) return true;
    if (width <= 0 || height <= 0 || width > kMaxSurfaceSide || height > kMaxSurfaceSide) {
        LOG(INFO) << " Paint surface size refused: " << width << "x" << height;
        return false;
    }
    cairo_surface_t* created = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    if (cairo_surface_status(created) != CAIRO_STATUS_SUCCESS) {
        LOG(INFO) << " Paint surface of " << width << "x" << height << " cannot be made";
        cairo_surface_destroy(created);
        return false;
    }
    if (surface_ != nullptr) cairo_surface_destroy(surface_);
    surface_ = created;
    dirty_.assign(1, UIRect{0, 0, width, height});
    return true;
}

int CPaintSurface::Width() const { return surface_ != nullptr ? cairo_image_surface_get_width(surface_) : 0; }

int CPaintSurface::Height() const { return surface_ != nullptr ? cairo_image_surface_get_height(surface_) : 0; }

cairo_surface_t* CPaintSurface::Surface() const { return surface_; }

void CPaintSurface::Invalidate(const UIRect& rect) {
    UIRect added = IntersectRects(rect, UIRect{0, 0, Width(), Height()});
    if (added.IsEmpty()) return;
    for (bool merged = true; merged;) {
        merged = false;
        for (auto it = dirty_.begin(); it != dirty_.end(); ++it) {
            if (ShouldMerge(*it, added)) {
                added = UnionRects(*it, added);
                dirty_.erase(it);
                merged = true;
                break;
            }
        }
    }
    dirty_.push_back(added);
    if (dirty_.size() > kMaxDirtyRects) {
        UIRect bounds;
        for (const UIRect& dirty : dirty_) bounds = UnionRects(bounds, dirty);
        dirty_.assign(1, bounds);
    }
}

bool CPaintSurface::HasDirty() const { return !dirty_.empty(); }

std::vector<UIRect> CPaintSurface::TakeDirty() {
    std::vector<UIRect> taken;
    taken.swap(dirty_);
    return taken;
}

cairo_t* CPaintSurface::BeginPaint(const UIRect& rect) {
    if (surface_ == nullptr) return nullptr;
    const UIRect area = IntersectRects(rect, UIRect{0, 0, Width(), Height()});
    cairo_t* cr = cairo_create(surface_);
    cairo_rectangle(cr, area.left, area.top, std::max(0, area.Width()), std::max(0, area.Height()));
    cairo_clip(cr);
    return cr;
}

template <typename RowVisitor>
void CPaintSurface::VisitRows(const UIRect& rect, RowVisitor visit) {
    const UIRect area = IntersectRects(rect, UIRect{0, 0, Width(), Height()});
    if (area.IsEmpty()) return;
    cairo_surface_flush(surface_);
    unsigned char* data = cairo_image_surface_get_data(surface_);
    const int stride = cairo_image_surface_get_stride(surface_);
    for (int y = area.top; y < area.bottom; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(data + std::ptrdiff_t(y) * stride);
        visit(row + area.left, std::size_t(area.Width()));
    }
    cairo_surface_mark_dirty_rectangle(surface_, area.left, area.top, area.Width(), area.Height());
}

void CPaintSurface::ClearToTransparent(const UIRect& rect) {
    VisitRows(rect, [](std::uint32_t* pixels, std::size_t count) { std::memset(pixels, 0, count * 4); });
}

void CPaintSurface::ApplyLayeredAlphaRule(const UIRect& rect) {
    VisitRows(rect, [](std::uint32_t* pixels, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) {
            if ((pixels[i] >> 24) == 0 && pixels[i] != 0) pixels[i] |= 0xFF000000u;
        }
    });
}

std::uint32_t CPaintSurface::PixelAt(int x, int y) const {
    if (surface_ == nullptr || x < 0 || y < 0 || x >= Width() || y >= Height()) return 0;
    cairo_surface_flush(surface_);
    const unsigned char* row =
        cairo_image_surface_get_data(surface_) + std::ptrdiff_t(y) * cairo_image_surface_get_stride(surface_);
    return reinterpret_cast<const std::uint32_t*>(row)[x];
}

bool CPaintSurface::WritePng(const char* path) const {
    if (surface_ == nullptr || path == nullptr) return false;
    cairo_surface_flush(surface_);
    const cairo_status_t status = cairo_surface_write_to_png(surface_, path);
    if (status != CAIRO_STATUS_SUCCESS) {
        LOG(INFO) << " Surface not written to " << path << ": " << cairo_status_to_string(status);
        return false;
    }
    return true;
}

}  // namespace ZembraUI
