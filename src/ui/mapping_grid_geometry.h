#pragma once
// Where the 20 cells of the key-map grid lie: the black-key notes on the upper row,
// centred between two white-key slots, the white-key notes on the lower row, each
// centred in its slot. Pure functions, any thread.

#include <QRectF>

#include <cstdint>

namespace tunescrib {

inline constexpr double mappingCellHeight = 52.0;
inline constexpr double mappingLowerRowTop = 66.0;

// The cell of `offset` (0...19) in a grid `gridWidth` wide; an empty rectangle for an
// offset outside 0...19. Widths never go negative.
QRectF mappingCellRect(std::int64_t offset, double gridWidth);

} // namespace tunescrib
