#pragma once
// Where the tags of a recorded take lie on the timeline strip, and what of them can be
// seen. Pure functions, any thread.

#include <QRectF>

#include <cstddef>
#include <span>
#include <vector>

namespace tunescrib {

// Height of one tag and the top edge of each of the three rows.
inline constexpr double timelineTagHeight = 20.0;
// Room between a tag's edges and its name.
inline constexpr double timelineNamePadding = 6.0;

// The tag of the note at `position` in start order, starting `start` seconds into a take
// of `takeDuration` seconds and lasting `duration`, on a strip `stripWidth` wide. Tags are
// at least 34 wide and at most the strip less 8 (never negative); the last-ending note
// ends at the strip's right edge; rows cycle every three notes.
QRectF timelineTagRect(std::size_t position, double start, double duration, double takeDuration,
                       double stripWidth);

// What a take's tags show when each is drawn over the ones before it, on whole pixels.
struct TimelineView {
    // Where the tags' colour shows: every pixel some tag covers, as non-overlapping runs.
    std::vector<QRectF> bands;
    // A stretch of a tag's name frame (the tag less its padding) that no later tag covers.
    struct Name {
        std::size_t position;
        QRectF tag;     // the whole tag, for placing the name
        QRectF visible; // where the name may be drawn
    };
    // In no particular order; the stretches never overlap.
    std::vector<Name> names;
};

// Start and duration, seconds, of the note at a position in start order.
struct TimelineNote {
    double start = 0.0;
    double duration = 0.0;
};

// The view of the take's `notes` (in start order) as timelineTagRect places them. Linear
// in the notes and the strip's width, a few nanoseconds a note; what lies hidden under
// later tags costs nothing to draw, so a long take draws no more than a strip's worth of
// pieces.
TimelineView visibleTimeline(std::span<const TimelineNote> notes, double takeDuration,
                             double stripWidth);

} // namespace tunescrib
