#include "ui/keyboard_geometry.h"

#include "model/pitch.h"

#include <algorithm>

namespace tunescrib {

namespace {

constexpr double blackKeyWidthRatio = 0.62;
constexpr double blackKeyHeightRatio = 0.62;

} // namespace

std::optional<std::size_t> whiteKeyIndex(std::int64_t offset) {
    const auto it = std::find(whiteKeyOffsets.begin(), whiteKeyOffsets.end(), offset);
    if (it == whiteKeyOffsets.end()) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(it - whiteKeyOffsets.begin());
}

QRectF keyRect(std::int64_t offset, double width, double height) {
    // A first layout pass may offer no room at all: never hand out negative sizes.
    width = std::max(width, 0.0);
    height = std::max(height, 0.0);
    const double whiteWidth = width / static_cast<double>(whiteKeyOffsets.size());
    if (const auto index = whiteKeyIndex(offset)) {
        return {static_cast<double>(*index) * whiteWidth, 0.0, whiteWidth, height};
    }
    if (const auto boundary = blackKeyWhiteBoundary(offset)) {
        const double blackWidth = whiteWidth * blackKeyWidthRatio;
        return {static_cast<double>(*boundary) * whiteWidth - blackWidth / 2.0, 0.0, blackWidth,
                height * blackKeyHeightRatio};
    }
    return {};
}

std::optional<std::int64_t> keyAt(double x, double y, double width, double height) {
    if (!(x >= 0.0 && y >= 0.0 && x < width && y < height)) {
        return std::nullopt;
    }
    const auto contains = [&](std::int64_t offset) {
        const QRectF rect = keyRect(offset, width, height);
        return x >= rect.left() && x < rect.right() && y >= rect.top() && y < rect.bottom();
    };
    for (const auto& black : blackKeyWhiteBoundaries) {
        if (contains(black.offset)) {
            return black.offset;
        }
    }
    for (const auto offset : whiteKeyOffsets) {
        if (contains(offset)) {
            return offset;
        }
    }
    return std::nullopt;
}

} // namespace tunescrib
