#pragma once
// Reading back what was drawn into a paint surface in the drawing tests.
#include <cstdint>

#include "uitoolkit/Geometry.h"
#include "uitoolkit/render/PaintSurface.h"

namespace testsupport {

// The smallest rectangle holding every pixel that differs from background.
ZembraUI::UIRect ChangedArea(const ZembraUI::CPaintSurface& surface, std::uint32_t background);

// A surface of the given size filled with an opaque colour.
void FillSurface(ZembraUI::CPaintSurface& surface, int width, int height, std::uint32_t colour);

// True when every channel of a and b differs by at most tolerance.
bool NearColour(std::uint32_t a, std::uint32_t b, int tolerance = 1);

}  // namespace testsupport
