#pragma once
// Draws one parsed image description with its decoded picture: source crop,
// nine-grid corners, hole, tiling and fade.
#include <cairo.h>

#include "uitoolkit/Geometry.h"

namespace ZembraUI {

struct ImageDescription;
struct LoadedImage;

class CImagePainter {
public:
    // Draws into image.dest, touching nothing outside clip. The picture's
    // pixels are used in place: no copy is made unless a cell is scaled or
    // tiled from part of the picture.
    static void Paint(cairo_t* cr, const LoadedImage& picture, const ImageDescription& image, const UIRect& clip);
};

}  // namespace ZembraUI
