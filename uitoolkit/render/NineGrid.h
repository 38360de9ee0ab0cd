#pragma once
// Cutting a picture and its destination into the nine cells of a nine-grid:
// the corners keep their size, the edges stretch (or tile) along one axis and
// the centre along both.
#include <vector>

#include "uitoolkit/Geometry.h"

namespace ZembraUI {

struct NineGridCell {
    UIRect source;  // pixels of the picture
    UIRect dest;    // where they go
    bool tileX = false;  // repeat at 1:1 horizontally instead of stretching
    bool tileY = false;
};

// Cells with an area on both sides, row by row. corner holds the widths of
// the left and right borders and the heights of the top and bottom ones; they
// shrink to fit both rectangles. hole leaves out the centre cell; xTiled and
// yTiled make the cells that would stretch along that axis tile instead.
std::vector<NineGridCell> SplitNineGrid(const UIRect& source, const UIRect& dest, const UIRect& corner, bool hole,
                                        bool xTiled, bool yTiled);

}  // namespace ZembraUI
