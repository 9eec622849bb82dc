#include "ui/mapping_grid_geometry.h"

#include "model/pitch.h"
#include "ui/keyboard_geometry.h"

#include <algorithm>

namespace tunescrib {

namespace {
constexpr double cellWidthRatio = 0.82;
constexpr double maximumCellWidth = 68.0;
} // namespace

QRectF mappingCellRect(std::int64_t offset, double gridWidth) {
    const double slot = std::max(gridWidth, 0.0) / static_cast<double>(whiteKeyOffsets.size());
    const double cell = std::min(slot * cellWidthRatio, maximumCellWidth);
    if (const auto boundary = blackKeyWhiteBoundary(offset)) {
        return {static_cast<double>(*boundary) * slot - cell / 2.0, 0.0, cell, mappingCellHeight};
    }
    const auto index = whiteKeyIndex(offset);
    if (!index) {
        return {};
    }
    return {static_cast<double>(*index) * slot + (slot - cell) * 0.5, mappingLowerRowTop, cell,
            mappingCellHeight};
}

} // namespace tunescrib
