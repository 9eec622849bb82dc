#pragma once
// The instrument's fixed musical vocabulary and its pure arithmetic.
// Everything here is immutable or side-effect free: safe from any thread, including
// the audio thread (frequencyForMidi).

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tunescrib {

// One of the twelve pitch classes. Sharps carry U+266F, never '#'.
struct PitchSpec {
    std::string_view name;
    std::string_view solfege;
    bool isBlack = false;
    bool operator==(const PitchSpec&) const = default;
};

// Indexed by pitch class, 0 = C ... 11 = B.
extern const std::array<PitchSpec, 12> pitchSpecs;

// Printable description of one MIDI note: "C♯4" and "ド♯".
struct NoteDetails {
    std::string name;
    std::string solfege;
    bool operator==(const NoteDetails&) const = default;
};

// Number of notes of the instrument, and of key bindings in a valid list.
inline constexpr std::size_t noteCount = 20;

// Offsets 0..19, ascending; offset 0 is the C of the base octave.
extern const std::array<std::int64_t, noteCount> keyOffsets;

// Offsets that are white keys, left to right; the position is the white-key index.
extern const std::array<std::int64_t, 12> whiteKeyOffsets;

// For each black-key offset, the number of white keys to its left. A black key is
// drawn centred on boundary x white-key width. std::nullopt for white keys.
std::optional<std::int64_t> blackKeyWhiteBoundary(std::int64_t offset);

// The eight black-key offsets in ascending order, paired with their boundaries.
struct BlackKeyBoundary {
    std::int64_t offset;
    std::int64_t boundary;
};
extern const std::array<BlackKeyBoundary, 8> blackKeyWhiteBoundaries;

// (baseOctave + 1) * 12 + offset + transposition; MIDI 60 is C4.
constexpr std::int64_t midiForOffset(std::int64_t baseOctave, std::int64_t offset,
                                     std::int64_t transposition = 0) {
    return (baseOctave + 1) * 12 + offset + transposition;
}

// Name with octave (floor division, so MIDI -1 is B-2) and solfège without octave.
NoteDetails noteDetails(std::int64_t midi);

// Equal temperament, MIDI 69 = 440 Hz.
double frequencyForMidi(std::int64_t midi);

constexpr std::int64_t minOctave = 2;
constexpr std::int64_t maxOctave = 6;
constexpr std::int64_t minTransposition = -12;
constexpr std::int64_t maxTransposition = 12;

constexpr std::int64_t clampedOctave(std::int64_t x) {
    return x < minOctave ? minOctave : (x > maxOctave ? maxOctave : x);
}
constexpr std::int64_t clampedTransposition(std::int64_t x) {
    return x < minTransposition ? minTransposition : (x > maxTransposition ? maxTransposition : x);
}

} // namespace tunescrib
