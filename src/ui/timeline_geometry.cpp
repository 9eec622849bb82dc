#include "ui/timeline_geometry.h"

#include <algorithm>
#include <cmath>

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

namespace {

// Columns of one row not yet covered by a later tag: each covered column points on to a
// later one, so finding the next uncovered column skips covered stretches at once.
class UncoveredColumns {
public:
    explicit UncoveredColumns(int columns) : next(static_cast<std::size_t>(columns) + 1) {
        for (std::size_t i = 0; i < next.size(); ++i) {
            next[i] = static_cast<int>(i);
        }
    }
    // The first uncovered column at or after `column`; the width when there is none.
    int from(int column) {
        while (at(column) != column) {
            at(column) = at(at(column)); // path halving
            column = at(column);
        }
        return column;
    }
    [[nodiscard]] bool isUncovered(int column) { return at(column) == column; }
    void cover(int begin, int end) {
        for (int column = from(begin); column < end; column = from(column + 1)) {
            at(column) = column + 1;
        }
    }
    // Covered columns in runs: (begin, end) pairs.
    template <typename Visit> void forEachCoveredRun(Visit visit) {
        const int columns = static_cast<int>(next.size()) - 1;
        for (int column = 0; column < columns;) {
            if (isUncovered(column)) {
                ++column;
                continue;
            }
            const int begin = column;
            while (column < columns && !isUncovered(column)) {
                ++column;
            }
            visit(begin, column);
        }
    }

private:
    int& at(int column) { return next[static_cast<std::size_t>(column)]; }
    std::vector<int> next;
};

} // namespace

TimelineView visibleTimeline(std::span<const TimelineNote> notes, double takeDuration,
                             double stripWidth) {
    TimelineView view;
    const int columns = static_cast<int>(std::ceil(std::max(stripWidth, 0.0)));
    std::vector<UncoveredColumns> rows(rowCount, UncoveredColumns(columns));
    // Rounded to the nearest column; truncation rounds, as x is never negative.
    const auto column = [columns](double x) {
        return static_cast<int>(std::clamp(x + 0.5, 0.0, static_cast<double>(columns)));
    };
    // From the last tag drawn to the first: a tag shows only where no later one lies.
    for (std::size_t position = notes.size(); position-- > 0;) {
        const TimelineNote& note = notes[position];
        const QRectF tag =
            timelineTagRect(position, note.start, note.duration, takeDuration, stripWidth);
        const int left = column(tag.left());
        const int right = column(tag.right());
        UncoveredColumns& row = rows[position % rowCount];
        const int frameEnd = right - static_cast<int>(timelineNamePadding);
        for (int begin = row.from(std::min(left + static_cast<int>(timelineNamePadding), columns));
             begin < frameEnd;) {
            int end = begin + 1;
            while (end < frameEnd && row.isUncovered(end)) {
                ++end;
            }
            view.names.push_back(
                {position, tag, QRectF(begin, tag.top(), end - begin, timelineTagHeight)});
            begin = row.from(end);
        }
        row.cover(left, right);
    }
    for (std::size_t r = 0; r < rowCount; ++r) {
        const double top = firstRowTop + rowPitch * static_cast<double>(r);
        rows[r].forEachCoveredRun([&](int begin, int end) {
            view.bands.emplace_back(begin, top, end - begin, timelineTagHeight);
        });
    }
    return view;
}

} // namespace tunescrib
