// Recording a take: pending notes of held sources become recorded notes when released.
#include "app/app_model.h"

#include "app/status_messages.h"

#include <algorithm>
#include <utility>

namespace tunescrib {
namespace {

// Shorter notes are kept at this length, so that each stays audible and visible.
constexpr double minimumNoteDuration = 0.07;

} // namespace

void AppModel::toggleRecording() {
    if (isRecording_) {
        stopRecording();
        return;
    }
    stopPlayback();
    stopAllLiveSources();
    recordingHeld.clear();
    clearedTake.clear();
    assign(Property::recordedNotes, recordedNotes_, std::vector<RecordedNote>{});
    recordingStart = clock.now();
    assign(Property::isRecording, isRecording_, true);
    assign(Property::notice, notice_, std::string(message::recordingStarted));
}

void AppModel::stopRecording() {
    if (!isRecording_) {
        return;
    }
    stopAllLiveSources();
    assign(Property::isRecording, isRecording_, false);
    assign(Property::notice, notice_, std::string(message::recordingSaved));
}

void AppModel::clearRecording() {
    stopPlayback();
    stopRecording();
    // Clearing an empty take keeps what an earlier clear left to undo.
    if (!recordedNotes_.empty()) {
        clearedTake = std::exchange(recordedNotes_, {});
    }
    published(Property::recordedNotes);
    assign(Property::notice, notice_,
           std::string(clearedTake.empty() ? message::takeCleared : message::takeClearedUndoable));
}

void AppModel::undoClear() {
    if (clearedTake.empty() || isRecording_) {
        return;
    }
    stopPlayback();
    assign(Property::recordedNotes, recordedNotes_, std::exchange(clearedTake, {}));
    assign(Property::notice, notice_, std::string(message::takeRestored));
}

void AppModel::finishPendingRecording(const std::string& sourceID) {
    const auto it = recordingHeld.find(sourceID);
    if (it == recordingHeld.end()) {
        return;
    }
    const PendingRecordedNote pending = it->second;
    recordingHeld.erase(it);
    const double elapsed = clock.now() - recordingStart;
    recordedNotes_.push_back(RecordedNote{Uuid::random(), pending.midi,
                                          std::max(pending.start, 0.0),
                                          std::max(elapsed - pending.start, minimumNoteDuration)});
    published(Property::recordedNotes);
}

std::vector<RecordedNote> AppModel::sortedRecordedNotes() const {
    std::vector<RecordedNote> notes = recordedNotes_;
    std::stable_sort(notes.begin(), notes.end(), [](const RecordedNote& a, const RecordedNote& b) {
        return a.start < b.start;
    });
    return notes;
}

double AppModel::takeDuration() const {
    double end = 0.0;
    for (const auto& note : recordedNotes_) {
        end = std::max(end, note.start + note.duration);
    }
    return end;
}

} // namespace tunescrib
