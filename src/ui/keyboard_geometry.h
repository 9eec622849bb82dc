#pragma once
// Where the 20 keys of the on-screen keyboard lie in a keyboard of a given size, and which
// key a point hits. Pure functions, any thread.

#include <QRectF>

#include <cstddef>
#include <cstdint>
#include <optional>

namespace tunescrib {

// Position of `offset` among the white keys, left to right (0...11); none for a black key
// or an offset outside the instrument.
std::optional<std::size_t> whiteKeyIndex(std::int64_t offset);

// The rectangle of the key of `offset` (0...19) in a keyboard `width` x `height`, from its
// top-left corner: twelve white keys side by side at full height, black keys 0.62 of a
// white key wide and 0.62 of the height, centred on the line between two white keys.
// An offset outside 0...19, or a size <= 0, gives an empty rectangle.
QRectF keyRect(std::int64_t offset, double width, double height);

// The key under (x, y), black keys first because they lie on top; none outside the
// keyboard.
std::optional<std::int64_t> keyAt(double x, double y, double width, double height);

} // namespace tunescrib
