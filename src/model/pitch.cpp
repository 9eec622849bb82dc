#include "model/pitch.h"

#include <cmath>

namespace tunescrib {

const std::array<PitchSpec, 12> pitchSpecs = {{
    {"C", "ド", false},
    {"C♯", "ド♯", true},
    {"D", "レ", false},
    {"D♯", "レ♯", true},
    {"E", "ミ", false},
    {"F", "ファ", false},
    {"F♯", "ファ♯", true},
    {"G", "ソ", false},
    {"G♯", "ソ♯", true},
    {"A", "ラ", false},
    {"A♯", "ラ♯", true},
    {"B", "シ", false},
}};

const std::array<std::int64_t, noteCount> keyOffsets = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,
                                                        10, 11, 12, 13, 14, 15, 16, 17, 18, 19};

const std::array<std::int64_t, 12> whiteKeyOffsets = {0, 2, 4, 5, 7, 9, 11, 12, 14, 16, 17, 19};

const std::array<BlackKeyBoundary, 8> blackKeyWhiteBoundaries = {{
    {1, 1},
    {3, 2},
    {6, 4},
    {8, 5},
    {10, 6},
    {13, 8},
    {15, 9},
    {18, 11},
}};

std::optional<std::int64_t> blackKeyWhiteBoundary(std::int64_t offset) {
    for (const auto& entry : blackKeyWhiteBoundaries) {
        if (entry.offset == offset) {
            return entry.boundary;
        }
    }
    return std::nullopt;
}

NoteDetails noteDetails(std::int64_t midi) {
    const auto octave = static_cast<std::int64_t>(std::floor(static_cast<double>(midi) / 12.0)) - 1;
    auto pitchClass = midi % 12;
    if (pitchClass < 0) {
        pitchClass += 12;
    }
    const auto& spec = pitchSpecs[static_cast<std::size_t>(pitchClass)];
    return {std::string(spec.name) + std::to_string(octave), std::string(spec.solfege)};
}

double frequencyForMidi(std::int64_t midi) {
    return 440.0 * std::exp2(static_cast<double>(midi - 69) / 12.0);
}

} // namespace tunescrib
