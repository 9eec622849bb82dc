// The layout of the keyboard, the timeline and the key-map grid: worked numbers and the
// edges a first layout pass can produce.

#include "ui/keyboard_geometry.h"
#include "ui/mapping_grid_geometry.h"
#include "ui/timeline_geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace tunescrib {
namespace {

// On 1200 x 205: white keys 100 wide; black keys 62 wide, 127.1 high, centred on the
// boundaries between white keys (C sharp from 69 to 131), and over the white keys.
TEST(KeyboardGeometry, KeysOfAKeyboard1200By205AndBlackKeysWinWhereTheyLieOverWhiteKeys) {
    struct Case {
        double x, y;
        std::optional<std::int64_t> key;
    };
    const Case cases[] = {
        {99.9, 200, 0},  {100, 200, 2}, {68.9, 50, 0},       {69, 50, 1},
        {130.9, 127, 1}, {131, 50, 2},  {125, 127.2, 2},     {368.9, 50, 5},
        {369, 50, 6},    {431, 50, 7},  {1068.9, 50, 17},    {1069, 50, 18},
        {1131, 50, 19},  {250, 50, 4},  {1199.9, 204.9, 19}, {1200, 100, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.x << "," << c.y);
        EXPECT_EQ(keyAt(c.x, c.y, 1200, 205), c.key);
    }
    EXPECT_EQ(keyAt(0, 0, 0, 0), std::nullopt);
    // A first layout pass may offer no room at all.
    EXPECT_EQ(keyRect(1, -30, 205).width(), 0.0);
    EXPECT_EQ(keyRect(0, 1200, 205).height(), 205);
}

TEST(TimelineGeometry, NarrowStripsNeverGiveNegativeWidths) {
    for (const double width : {0.0, 5.0, 8.0, 41.0}) {
        SCOPED_TRACE(width);
        const QRectF tag = timelineTagRect(0, 0.0, 1.0, 1.0, width);
        EXPECT_GE(tag.width(), 0.0);
        EXPECT_LE(tag.width(), std::max(width - 8, 0.0));
        EXPECT_GE(tag.x(), 4.0);
    }
    // A take of zero length still places its tags (span floor 0.001 s).
    const QRectF tag = timelineTagRect(0, 0.0, 0.0, 0.0, 800);
    EXPECT_TRUE(std::isfinite(tag.x()));
    EXPECT_EQ(tag.width(), 34);
}

// Only what no later tag covers is drawn: the tags' colour as runs per row ("top:from-to"),
// and the uncovered stretches of their name frames ("position:from-to").
TEST(TimelineGeometry, TagsHiddenUnderLaterOnesDrawNothing) {
    struct Case {
        const char* what;
        std::vector<TimelineNote> notes; // in start order
        double takeDuration, width;
        const char* bands;
        const char* names;
    };
    const std::vector<TimelineNote> fourSeconds = {{0, 0.01}, {0, 4}, {1, 1}, {3.9, 0.1}};
    const std::vector<TimelineNote> apart = {{0, 1}, {1, 1}, {2, 1}, {3, 1}};
    const std::vector<TimelineNote> longOverShort = {
        {0, 0.1}, {0.01, 0.1}, {0.02, 0.1}, {0.05, 0.95}};
    std::vector<TimelineNote> dense; // 3,000 notes of 1 ms: 0.1 points apart on 300
    for (int i = 0; i < 3000; ++i) {
        dense.push_back({i * 0.001, 0.001});
    }
    const Case cases[] = {
        // Inset 4 from either end, tags at least 34 wide: the last note is pulled back to end
        // at 800, the whole take's note drawn 792 wide.
        {"a 4 s take", fourSeconds, 4, 800, "9:4-38 9:766-800 30:4-796 51:204-404",
         "3:772-794 2:210-398 1:10-790 0:10-32"},
        {"apart", apart, 4, 800, "9:4-204 9:600-800 30:204-404 51:404-604",
         "3:606-794 2:410-598 1:210-398 0:10-198"},
        {"a long note over a short one in its row", longOverShort, 1, 400,
         "9:4-400 30:8-48 51:12-52", "3:26-394 2:18-46 1:14-42 0:10-20"},
        {"dense: only the last of each row shows its name", dense, 3, 300,
         "9:4-300 30:4-300 51:4-300", "2999:272-294 2998:272-294 2997:272-294"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const TimelineView view = visibleTimeline(c.notes, c.takeDuration, c.width);
        std::string bands, names;
        for (const QRectF& band : view.bands) {
            bands += (bands.empty() ? "" : " ") + std::to_string(static_cast<int>(band.y())) + ":" +
                     std::to_string(static_cast<int>(band.left())) + "-" +
                     std::to_string(static_cast<int>(band.right()));
        }
        for (const auto& name : view.names) {
            names += (names.empty() ? "" : " ") + std::to_string(name.position) + ":" +
                     std::to_string(static_cast<int>(name.visible.left())) + "-" +
                     std::to_string(static_cast<int>(name.visible.right()));
        }
        EXPECT_EQ(bands, c.bands);
        EXPECT_EQ(names, c.names);
    }
}

TEST(MappingGridGeometry, CellsOfThePanelsGridAndWideGridsCapCellsAt68) {
    // 936 wide: step 78, cell 63.96 (compared within Qt's fuzzy bounds).
    EXPECT_EQ(mappingCellRect(0, 936), QRectF(7.02, 66, 63.96, 52));
    EXPECT_EQ(mappingCellRect(19, 936), QRectF(11 * 78 + 7.02, 66, 63.96, 52));
    EXPECT_EQ(mappingCellRect(1, 936), QRectF(46.02, 0, 63.96, 52));
    EXPECT_EQ(mappingCellRect(18, 936), QRectF(11 * 78 - 31.98, 0, 63.96, 52));
    EXPECT_EQ(mappingCellRect(0, 1200), QRectF(16, 66, 68, 52));
    EXPECT_EQ(mappingCellRect(0, -10).width(), 0.0);
}

} // namespace
} // namespace tunescrib
