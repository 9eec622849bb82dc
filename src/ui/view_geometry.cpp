#include "ui/view_geometry.h"

#include "model/pitch.h"
#include "ui/keyboard_geometry.h"
#include "ui/mapping_grid_geometry.h"

namespace tunescrib {

QList<int> ViewGeometry::whiteKeyOffsets() {
    QList<int> offsets;
    for (const auto offset : tunescrib::whiteKeyOffsets) {
        offsets.append(static_cast<int>(offset));
    }
    return offsets;
}

QList<int> ViewGeometry::blackKeyOffsets() {
    QList<int> offsets;
    for (const auto& key : blackKeyWhiteBoundaries) {
        offsets.append(static_cast<int>(key.offset));
    }
    return offsets;
}

QRectF ViewGeometry::keyRect(int offset, qreal width, qreal height) {
    return tunescrib::keyRect(offset, width, height);
}

int ViewGeometry::keyAt(qreal x, qreal y, qreal width, qreal height) {
    const auto offset = tunescrib::keyAt(x, y, width, height);
    return offset ? static_cast<int>(*offset) : -1;
}

QRectF ViewGeometry::mappingCellRect(int offset, qreal gridWidth) {
    return tunescrib::mappingCellRect(offset, gridWidth);
}

} // namespace tunescrib
