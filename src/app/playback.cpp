// Playing the take back through steps on one time base, sounded through the same
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

std::string playbackSourceID(const RecordedNote& note) {
    return "playback:" + note.id.toString();
}

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
    playbackNotes = sortedRecordedNotes();
    struct Timed {
        double deadline;
        PlaybackStep step;
    };
    std::vector<Timed> timed;
    timed.reserve(2 * playbackNotes.size() + 1);
    for (std::size_t i = 0; i < playbackNotes.size(); ++i) {
        const RecordedNote& note = playbackNotes[i];
        timed.push_back({start + note.start, {PlaybackStep::Kind::noteOn, i}});
        timed.push_back({start + note.start + std::max(note.duration, minimumNoteLength),
                         {PlaybackStep::Kind::noteOff, i}});
    }
    timed.push_back({start + takeDuration() + endMargin, {PlaybackStep::Kind::end, 0}});
    // Stable: a note's start comes before its end, and the end of the take comes last.
    std::stable_sort(timed.begin(), timed.end(),
                     [](const Timed& a, const Timed& b) { return a.deadline < b.deadline; });
    std::vector<double> deadlines;
    deadlines.reserve(timed.size());
    playbackPlan.clear();
    playbackPlan.reserve(timed.size());
    for (const Timed& t : timed) {
        deadlines.push_back(t.deadline);
        playbackPlan.push_back(t.step);
    }
    playbackSteps.start(std::move(deadlines),
                        [this](std::size_t index) { runPlaybackStep(playbackPlan[index]); });
}

void AppModel::stopPlayback() {
    playbackSteps.cancel();
    playbackPlan = {};
    playbackNotes = {};
    releasePlaybackNotes();
    assign(Property::isPlaying, isPlaying_, false);
}

void AppModel::runPlaybackStep(PlaybackStep step) {
    switch (step.kind) {
    case PlaybackStep::Kind::noteOn: {
        const RecordedNote note = playbackNotes[step.note];
        playbackNoteOn(note, playbackSourceID(note));
        break;
    }
    case PlaybackStep::Kind::noteOff:
        playbackNoteOff(playbackSourceID(playbackNotes[step.note]));
        break;
    case PlaybackStep::Kind::end:
        playbackEnded();
        break;
    }
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
