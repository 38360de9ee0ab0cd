#include "uitoolkit/render/NineGrid.h"

#include <algorithm>
#include <array>

namespace ZembraUI {
namespace {

// Border widths on one axis, limited so that they never overlap in either
// the picture or the destination.
std::array<int, 2> FitBorders(int first, int second, int sourceSize, int destSize) {
    const int room = std::min(sourceSize, destSize);
    first = std::clamp(first, 0, room);
    second = std::clamp(second, 0, room - first);
    return {first, second};
}

std::array<int, 4> Cuts(int start, int end, const std::array<int, 2>& borders) {
    return {start, start + borders[0], end - borders[1], end};
}

}  // namespace

std::vector<NineGridCell> SplitNineGrid(const UIRect& source, const UIRect& dest, const UIRect& corner, bool hole,
                                        bool xTiled, bool yTiled) {
    const auto columns = FitBorders(corner.left, corner.right, source.Width(), dest.Width());
    const auto rows = FitBorders(corner.top, corner.bottom, source.Height(), dest.Height());
    const auto sourceX = Cuts(source.left, source.right, columns);
    const auto sourceY = Cuts(source.top, source.bottom, rows);
    const auto destX = Cuts(dest.left, dest.right, columns);
    const auto destY = Cuts(dest.top, dest.bottom, rows);

    std::vector<NineGridCell> cells;
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            if (hole && row == 1 && column == 1) continue;
            NineGridCell cell;
            cell.source = {sourceX[column], sourceY[row], sourceX[column + 1], sourceY[row + 1]};
            cell.dest = {destX[column], destY[row], destX[column + 1], destY[row + 1]};
            if (cell.source.IsEmpty() || cell.dest.IsEmpty()) continue;
            cell.tileX = xTiled && column == 1;
            cell.tileY = yTiled && row == 1;
            cells.push_back(cell);
        }
    }
    return cells;
}

}  // namespace ZembraUI
