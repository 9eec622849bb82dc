#pragma once
// Where the tags of a recorded take lie on the timeline strip. Pure functions, any thread.

#include <QRectF>

#include <cstddef>

namespace tunescrib {

// Height of one tag and the top edge of each of the three rows.
inline constexpr double timelineTagHeight = 20.0;

// The tag of the note at `position` in start order, starting `start` seconds into a take
// of `takeDuration` seconds and lasting `duration`, on a strip `stripWidth` wide. Tags are
// at least 34 wide and at most the strip less 8 (never negative); the last-ending note
// ends at the strip's right edge; rows cycle every three notes.
QRectF timelineTagRect(std::size_t position, double start, double duration, double takeDuration,
                       double stripWidth);

} // namespace tunescrib
