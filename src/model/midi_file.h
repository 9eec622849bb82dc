#pragma once
// A take as a Standard MIDI File: format 0, one track, 480 ticks per quarter note at
// 120 beats per minute, so one tick is 1/960 s. Pure; the same take always gives the
// same bytes.

#include "model/recorded_note.h"
#include "model/sound_mode.h"

#include <cstdint>
#include <vector>

namespace tunescrib {

inline constexpr int midiTicksPerSecond = 960;

// The General MIDI program (0-based) a receiving program should use for `mode`.
std::uint8_t midiProgram(SoundMode mode);

// The file's bytes: track name, tempo, the program of `mode`, then every note as a
// note-on of velocity 100 and a note-off, times rounded to the nearest tick.
// Receivers never see a note left hanging: a note that a later note of the same pitch
// overtakes ends where that note starts, two notes of one pitch starting on the same
// tick become one, and a note shorter than a tick lasts one tick. Notes outside
// MIDI's 0...127 are left out. An empty take gives a file with no notes.
std::vector<std::uint8_t> standardMidiFile(const std::vector<RecordedNote>& take, SoundMode mode);

} // namespace tunescrib
