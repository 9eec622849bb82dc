// Octave, transposition and timbre changes.
#include "app/app_model.h"

#include "app/status_messages.h"

#include <algorithm>

namespace tunescrib {

void AppModel::changeOctave(std::int64_t step) {
    if (isRecording_ || isPlaying_) {
        return;
    }
    // Bounded first, so that no step can overflow the sum.
    const std::int64_t boundedStep = std::clamp(step, minOctave - maxOctave, maxOctave - minOctave);
    const std::int64_t octave = clampedOctave(baseOctave_ + boundedStep);
    if (octave == baseOctave_) {
        return;
    }
    stopAllLiveSources();
    assign(Property::baseOctave, baseOctave_, octave);
    announce(message::octaveChanged);
}

void AppModel::changeTransposition(std::int64_t value) {
    if (isRecording_ || isPlaying_) {
        return;
    }
    const std::int64_t transposition = clampedTransposition(value);
    const std::int64_t delta = transposition - transposition_;
    if (delta == 0) {
        return;
    }
    stopAllLiveSources();
    assign(Property::transposition, transposition_, transposition);
    // The take follows, so that it always sounds at the current transposition.
    std::vector<RecordedNote> shifted = recordedNotes_;
    for (auto& note : shifted) {
        note.midi += delta;
    }
    assign(Property::recordedNotes, recordedNotes_, std::move(shifted));
    if (lastMidi_) {
        assign(Property::lastMidi, lastMidi_, std::optional(*lastMidi_ + delta));
    }
    announce(message::transpositionPrefix + std::string(transposition >= 1 ? "+" : "") +
             std::to_string(transposition));
}

void AppModel::setSoundMode(SoundMode mode) {
    if (mode == soundMode_) {
        return;
    }
    stopPlayback();
    stopAllLiveSources();
    assign(Property::soundMode, soundMode_, mode);
    announce(message::soundChanged(mode));
}

} // namespace tunescrib
