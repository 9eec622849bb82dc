#include "model/pitch.h"
#include "model/recorded_note.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <set>

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

TEST(FrequencyForMidi, IsEqualTemperamentOnA440) {
    EXPECT_EQ(frequencyForMidi(69), 440.0);
    EXPECT_EQ(frequencyForMidi(57), 220.0);
    EXPECT_EQ(frequencyForMidi(81), 880.0);
    EXPECT_NEAR(frequencyForMidi(60), 261.6255653, 1e-6);
}

TEST(Clamps, KeepOctaveAndTranspositionInRangeUpToTheIntegerLimits) {
    struct Case {
        std::int64_t in, octave, transposition;
    };
    for (const auto& c : {Case{INT64_MIN, 2, -12}, Case{-13, 2, -12}, Case{-12, 2, -12},
                          Case{1, 2, 1}, Case{2, 2, 2}, Case{4, 4, 4}, Case{6, 6, 6}, Case{7, 6, 7},
                          Case{12, 6, 12}, Case{13, 6, 12}, Case{INT64_MAX, 6, 12}}) {
        EXPECT_EQ(clampedOctave(c.in), c.octave) << c.in;
        EXPECT_EQ(clampedTransposition(c.in), c.transposition) << c.in;
    }
}

TEST(KeyboardLayout, EveryOffsetIsExactlyOneWhiteOrBlackKey) {
    for (auto offset : keyOffsets) {
        const bool white = std::find(whiteKeyOffsets.begin(), whiteKeyOffsets.end(), offset) !=
                           whiteKeyOffsets.end();
        const bool black = blackKeyWhiteBoundary(offset).has_value();
        EXPECT_NE(white, black) << offset;
        EXPECT_EQ(black, pitchSpecs[static_cast<std::size_t>(offset % 12)].isBlack) << offset;
    }
    EXPECT_TRUE(std::ranges::is_sorted(whiteKeyOffsets)) << "white keys left to right";
    // A black key is drawn on the boundary after the white keys to its left.
    for (const auto& [offset, boundary] : blackKeyWhiteBoundaries) {
        const auto whitesLeft = std::count_if(whiteKeyOffsets.begin(), whiteKeyOffsets.end(),
                                              [&](std::int64_t w) { return w < offset; });
        EXPECT_EQ(boundary, whitesLeft) << offset;
    }
}

TEST(Uuid, IsAFreshUpperCaseVersionFourIdentifier) {
    const std::regex form("^[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}$");
    std::set<std::string> ids;
    for (int i = 0; i < 1000; ++i) {
        const auto text = Uuid::random().toString();
        EXPECT_TRUE(std::regex_match(text, form)) << text;
        ids.insert(text);
    }
    EXPECT_EQ(ids.size(), 1000U);
}

} // namespace
} // namespace tunescrib
