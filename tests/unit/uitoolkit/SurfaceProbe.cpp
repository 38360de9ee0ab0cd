#include "unit/uitoolkit/SurfaceProbe.h"

#include <cstdlib>

#include "uitoolkit/render/DrawEngine.h"

namespace testsupport {

using ZembraUI::UIRect;

UIRect ChangedArea(const ZembraUI::CPaintSurface& surface, std::uint32_t background) {
    UIRect area;
    for (int y = 0; y < surface.Height(); ++y) {
        for (int x = 0; x < surface.Width(); ++x) {
            if (surface.PixelAt(x, y) != background) area = ZembraUI::UnionRects(area, UIRect{x, y, x + 1, y + 1});
        }
    }
    return area;
}

void FillSurface(ZembraUI::CPaintSurface& surface, int width, int height, std::uint32_t colour) {
    surface.Resize(width, height);
    cairo_t* cr = surface.BeginPaint({0, 0, width, height});
    ZembraUI::CDrawEngine::DrawColor(cr, {0, 0, width, height}, colour);
    cairo_destroy(cr);
    surface.TakeDirty();
}

bool NearColour(std::uint32_t a, std::uint32_t b, int tolerance) {
    for (int shift = 0; shift < 32; shift += 8) {
        if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > tolerance) return false;
    }
    return true;
}

}  // namespace testsupport
