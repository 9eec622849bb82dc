// Playing the take back through steps scheduled all at once, sounded through the same
// bookkeeping as live sources.
#include "app/app_model.h"

#include "app/status_messages.h"

#include <algorithm>

namespace tunescrib {
namespace {

// A note-off never comes sooner than this after its note-on.
constexpr double minimumNoteLength = 0.07;
// Room after the last note for its release before playback reports its end.
constexpr double endMargin = 0.14;

} // namespace

void AppModel::playRecording() {
    if (isRecording_ || recordedNotes_.empty()) {
        assign(Property::notice, notice_, std::string(message::nothingRecorded));
        return;
    }
    stopPlayback();
    stopAllLiveSources();
    assign(Property::isPlaying, isPlaying_, true);
    assign(Property::notice, notice_, std::string(message::playing));
    // One time base for every step, so lateness in scheduling never shifts one note
    // against another.
    const double start = clock.now();
    for (const RecordedNote& note : sortedRecordedNotes()) {
        const std::string sourceID = "playback:" + note.id.toString();
        playbackSteps.push_back(scheduler.scheduleAt(
            start + note.start, [this, note, sourceID] { playbackNoteOn(note, sourceID); }));
        playbackSteps.push_back(
            scheduler.scheduleAt(start + note.start + std::max(note.duration, minimumNoteLength),
                                 [this, sourceID] { playbackNoteOff(sourceID); }));
    }
    playbackSteps.push_back(
        scheduler.scheduleAt(start + takeDuration() + endMargin, [this] { playbackEnded(); }));
}

void AppModel::stopPlayback() {
    for (const auto id : playbackSteps) {
        scheduler.cancel(id);
    }
    playbackSteps.clear();
    releasePlaybackNotes();
    assign(Property::isPlaying, isPlaying_, false);
}

void AppModel::releasePlaybackNotes() {
    const std::set<std::string> sourceIDs = std::exchange(playbackSourceIDs, {});
    for (const auto& sourceID : sourceIDs) {
        // One already released by stopAllLiveSources() is still fading: cut it short.
        if (!releaseLiveSource(sourceID) && synth) {
            synth->noteOff(sourceID, true);
        }
    }
}

void AppModel::playbackNoteOn(const RecordedNote& note, const std::string& sourceID) {
    if (!isPlaying_ || liveSources.contains(sourceID)) {
        return;
    }
    if (synth) {
        try {
            synth->noteOn(sourceID, note.midi, soundMode_);
        } catch (const AudioStartError& error) {
            assign(Property::audioError, audioError_, std::optional<std::string>(error.what()));
            stopPlayback();
            assign(Property::notice, notice_, std::string(message::audioRestartFailed));
            return;
        }
    }
    playbackSourceIDs.insert(sourceID);
    liveSources[sourceID] = LiveSource{note.midi, 0};
    updateMidiActivity(note.midi, +1);
    assign(Property::lastMidi, lastMidi_, std::optional(note.midi));
}

void AppModel::playbackNoteOff(const std::string& sourceID) {
    // The note may have been released already by stopAllLiveSources(); its count is
    // gone then and must not be taken twice.
    if (playbackSourceIDs.erase(sourceID) > 0) {
        releaseLiveSource(sourceID);
    }
}

void AppModel::playbackEnded() {
    // Also releases a note whose note-off has not run, should any be left.
    stopPlayback();
    assign(Property::notice, notice_, std::string(message::playbackFinished));
}

} // namespace tunescrib
