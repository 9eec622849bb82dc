#include "ui/timeline_geometry.h"

#include <algorithm>

namespace tunescrib {

namespace {
constexpr double minimumSpan = 0.001;
constexpr double minimumTagWidth = 34.0;
constexpr double edgeInset = 4.0;
constexpr double firstRowTop = 9.0;
constexpr double rowPitch = 21.0;
constexpr std::size_t rowCount = 3;
} // namespace

QRectF timelineTagRect(std::size_t position, double start, double duration, double takeDuration,
                       double stripWidth) {
    const double span = std::max(takeDuration, minimumSpan);
    const double width = std::max(duration / span * stripWidth, minimumTagWidth);
    // The placement clamp uses the full width so that the last-ending note ends exactly at
    // the right edge even when its drawn tag is shorter.
    const double x =
        std::min(std::max(stripWidth - width - edgeInset, 0.0), start / span * stripWidth) +
        edgeInset;
    const double drawnWidth = std::max(std::min(stripWidth - 2.0 * edgeInset, width), 0.0);
    const double y = firstRowTop + rowPitch * static_cast<double>(position % rowCount);
    return {x, y, drawnWidth, timelineTagHeight};
}

} // namespace tunescrib
