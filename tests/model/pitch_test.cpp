#include "model/pitch.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tunescrib {
namespace {

TEST(NoteDetails, NamesEveryPitchClassAndOctavesByFloorDivision) {
    struct Case {
        std::int64_t midi;
        const char* name;
        const char* solfege;
    };
    for (const auto& c :
         {Case{60, "C4", "ド"}, Case{61, "C♯4", "ド♯"}, Case{62, "D4", "レ"},
          Case{63, "D♯4", "レ♯"}, Case{64, "E4", "ミ"}, Case{65, "F4", "ファ"},
          Case{66, "F♯4", "ファ♯"}, Case{67, "G4", "ソ"}, Case{68, "G♯4", "ソ♯"},
          Case{69, "A4", "ラ"}, Case{70, "A♯4", "ラ♯"}, Case{71, "B4", "シ"}, Case{59, "B3", "シ"},
          Case{72, "C5", "ド"}, Case{0, "C-1", "ド"}, Case{-1, "B-2", "シ"}, Case{-12, "C-2", "ド"},
          Case{-13, "B-3", "シ"}, Case{127, "G9", "ソ"}}) {
        EXPECT_EQ(noteDetails(c.midi), (NoteDetails{c.name, c.solfege})) << c.midi;
    }
}

TEST(KeyboardLayout, EveryOffsetIsExactlyOneWhiteOrBlackKey) {
    for (auto offset : keyOffsets) {
        const bool white = std::ranges::count(whiteKeyOffsets, offset) == 1;
        const bool black = blackKeyWhiteBoundary(offset).has_value();
        EXPECT_NE(white, black) << offset;
        EXPECT_EQ(black, pitchSpecs[static_cast<std::size_t>(offset % 12)].isBlack) << offset;
    }
    EXPECT_TRUE(std::ranges::is_sorted(whiteKeyOffsets)) << "white keys left to right";
    // A black key is drawn on the boundary after the white keys to its left.
    for (const auto& [offset, boundary] : blackKeyWhiteBoundaries) {
        EXPECT_EQ(boundary,
                  std::ranges::count_if(whiteKeyOffsets, [&](auto w) { return w < offset; }))
            << offset;
    }
}

} // namespace
} // namespace tunescrib
