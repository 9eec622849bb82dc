#include "model/pitch.h"
#include "model/recorded_note.h"
#include "model/sound_mode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <regex>
#include <set>

namespace tunescrib {
namespace {

TEST(MidiForOffset, CoversTheRangeTheModelKeeps) {
    struct Case {
        std::int64_t octave, offset, transposition, midi;
    };
    for (const auto& c : {Case{4, 0, 0, 60}, Case{4, 19, 12, 91}, Case{2, 0, -12, 24},
                          Case{6, 19, 12, 115}, Case{4, 9, 0, 69}, Case{3, 11, 1, 60}}) {
        EXPECT_EQ(midiForOffset(c.octave, c.offset, c.transposition), c.midi)
            << c.octave << "/" << c.offset << "/" << c.transposition;
    }
    EXPECT_EQ(midiForOffset(4, 0), 60);
}

TEST(NoteDetails, NamesOctavesByFloorDivision) {
    struct Case {
        std::int64_t midi;
        const char* name;
        const char* solfege;
    };
    for (const auto& c : {Case{60, "C4", "ド"}, Case{61, "C♯4", "ド♯"}, Case{59, "B3", "シ"},
                          Case{71, "B4", "シ"}, Case{72, "C5", "ド"}, Case{0, "C-1", "ド"},
                          Case{-1, "B-2", "シ"}, Case{-12, "C-2", "ド"}, Case{-13, "B-3", "シ"},
                          Case{66, "F♯4", "ファ♯"}, Case{127, "G9", "ソ"}}) {
        EXPECT_EQ(noteDetails(c.midi), (NoteDetails{c.name, c.solfege})) << c.midi;
    }
}

TEST(NoteDetails, SharpIsTheMusicSharpSignNotANumberSign) {
    const std::string name = noteDetails(61).name;
    EXPECT_EQ(name, "C\xE2\x99\xAF"
                    "4");
    EXPECT_EQ(name.size(), 5U);
    for (const auto& spec : pitchSpecs) {
        EXPECT_EQ(spec.name.find('#'), std::string_view::npos);
        EXPECT_EQ(spec.isBlack, spec.name.find("♯") != std::string_view::npos);
    }
}

TEST(FrequencyForMidi, IsEqualTemperamentOnA440) {
    EXPECT_EQ(frequencyForMidi(69), 440.0);
    EXPECT_EQ(frequencyForMidi(57), 220.0);
    EXPECT_EQ(frequencyForMidi(81), 880.0);
    for (std::int64_t m = 0; m <= 127; ++m) {
        const double expected = 440.0 * std::pow(2.0, (static_cast<double>(m) - 69.0) / 12.0);
        EXPECT_NEAR(frequencyForMidi(m) / expected, 1.0, 1e-9) << m;
    }
}

TEST(Clamps, KeepOctaveAndTranspositionInRange) {
    EXPECT_EQ(clampedOctave(1), 2);
    EXPECT_EQ(clampedOctave(7), 6);
    EXPECT_EQ(clampedOctave(4), 4);
    EXPECT_EQ(clampedOctave(INT64_MIN), 2);
    EXPECT_EQ(clampedTransposition(-13), -12);
    EXPECT_EQ(clampedTransposition(13), 12);
    EXPECT_EQ(clampedTransposition(-12), -12);
    EXPECT_EQ(clampedTransposition(INT64_MAX), 12);
}

TEST(KeyboardLayout, EveryOffsetIsExactlyOneWhiteOrBlackKey) {
    std::set<std::int64_t> seen;
    for (auto offset : keyOffsets) {
        const bool white = std::find(whiteKeyOffsets.begin(), whiteKeyOffsets.end(), offset) !=
                           whiteKeyOffsets.end();
        const bool black = blackKeyWhiteBoundary(offset).has_value();
        EXPECT_NE(white, black) << offset;
        // The offset tables and the pitch classes agree on which keys are black.
        EXPECT_EQ(black, pitchSpecs[static_cast<std::size_t>(offset % 12)].isBlack) << offset;
        seen.insert(offset);
    }
    EXPECT_EQ(seen.size(), 20U);
    EXPECT_EQ(*seen.begin(), 0);
    EXPECT_EQ(*seen.rbegin(), 19);
    // A black key's boundary is the count of white keys to its left.
    for (const auto& [offset, boundary] : blackKeyWhiteBoundaries) {
        const auto whitesLeft = std::count_if(whiteKeyOffsets.begin(), whiteKeyOffsets.end(),
                                              [&](std::int64_t w) { return w < offset; });
        EXPECT_EQ(boundary, whitesLeft) << offset;
    }
}

TEST(SoundMode, RawValuesAreExactAndCaseSensitive) {
    EXPECT_EQ(soundModeFromRaw("piano"), SoundMode::piano);
    EXPECT_EQ(soundModeFromRaw("sine"), SoundMode::sine);
    for (const char* raw : {"Piano", "SINE", "", "piano ", "sin"}) {
        EXPECT_EQ(soundModeFromRaw(raw), std::nullopt) << raw;
    }
    EXPECT_EQ(allSoundModes[0], SoundMode::piano);
    EXPECT_EQ(displayName(SoundMode::sine), "サイン波");
    EXPECT_EQ(shortDescription(SoundMode::piano), "合成");
}

TEST(RecordedNote, IdsAreFreshUpperCaseUuidsAndEqualityTakesEveryField) {
    const std::regex form("^[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}$");
    std::set<std::string> ids;
    for (int i = 0; i < 1000; ++i) {
        const auto text = Uuid::random().toString();
        EXPECT_TRUE(std::regex_match(text, form)) << text;
        ids.insert(text);
    }
    EXPECT_EQ(ids.size(), 1000U);

    const RecordedNote a{Uuid::random(), 60, 0.5, 1.0};
    RecordedNote b = a;
    EXPECT_EQ(a, b);
    b.midi = 61;
    EXPECT_NE(a, b);
    EXPECT_EQ(a.id, b.id);
}

} // namespace
} // namespace tunescrib
