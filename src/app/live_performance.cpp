// Notes from computer keys and the on-screen keyboard, and their bookkeeping.
#include "app/app_model.h"

#include "app/status_messages.h"

#include <algorithm>

namespace tunescrib {
namespace {

std::string keyboardSourceID(std::uint16_t keyCode) {
    return "keyboard:" + std::to_string(keyCode);
}

} // namespace

bool AppModel::handleKeyEvent(const KeyEvent& event) {
    if (event.type == KeyEventType::keyUp) {
        // Whatever modifiers are held: a note must not outlive its key. The release half
        // of an automatic repeat leaves the key held.
        const std::string sourceID = keyboardSourceID(event.keyCode);
        if (!liveSources.contains(sourceID)) {
            return false;
        }
        if (!event.isRepeat) {
            stopSource(sourceID);
        }
        return true;
    }
    if (event.type != KeyEventType::keyDown || (event.modifierFlags & modifier::shortcutMask)) {
        return false;
    }
    if (mappingTarget_) {
        return captureKey(event);
    }
    // Modifier and lock keys are never notes, even if a stored map names one.
    if (keycode::isModifier(event.keyCode)) {
        return false;
    }
    const auto binding = std::find_if(bindings_.begin(), bindings_.end(), [&](const KeyBinding& b) {
        return b.keyCode == event.keyCode;
    });
    if (binding == bindings_.end()) {
        return false;
    }
    if (!event.isRepeat) {
        startSource(binding - bindings_.begin(), keyboardSourceID(event.keyCode));
    }
    return true;
}

void AppModel::applicationDidResignActive() {
    stopAllLiveSources();
}

void AppModel::startSource(std::int64_t offset, const std::string& sourceID) {
    if (liveSources.contains(sourceID)) {
        return;
    }
    const std::int64_t midi = midiFor(offset);
    if (!synth) {
        retrySynth();
    }
    if (synth) {
        try {
            synth->noteOn(sourceID, midi, soundMode_);
        } catch (const AudioStartError& error) {
            assign(Property::audioError, audioError_, std::optional<std::string>(error.what()));
            assign(Property::notice, notice_, std::string(message::audioRestartFailed));
            return;
        }
    }
    liveSources[sourceID] = LiveSource{midi, offset};
    updateMidiActivity(midi, +1);
    assign(Property::lastMidi, lastMidi_, std::optional(midi));
    // Without sound the status line keeps saying so rather than name a note nobody heard.
    const NoteDetails details = noteDetails(midi);
    assign(Property::notice, notice_,
           synth ? details.name + " / " + details.solfege : std::string(message::audioStartFailed));
    if (isRecording_) {
        recordingHeld[sourceID] = PendingRecordedNote{midi, clock.now() - recordingStart};
    }
}

void AppModel::stopSource(const std::string& sourceID) {
    if (releaseLiveSource(sourceID)) {
        finishPendingRecording(sourceID);
    }
}

void AppModel::stopAllLiveSources() {
    std::vector<std::string> sourceIDs;
    sourceIDs.reserve(liveSources.size());
    for (const auto& entry : liveSources) {
        sourceIDs.push_back(entry.first);
    }
    for (const auto& sourceID : sourceIDs) {
        stopSource(sourceID);
    }
}

bool AppModel::releaseLiveSource(const std::string& sourceID) {
    const auto it = liveSources.find(sourceID);
    if (it == liveSources.end()) {
        return false;
    }
    const std::int64_t midi = it->second.midi;
    liveSources.erase(it);
    if (synth) {
        synth->noteOff(sourceID);
    }
    updateMidiActivity(midi, -1);
    return true;
}

void AppModel::updateMidiActivity(std::int64_t midi, std::int64_t change) {
    const std::int64_t count = activeCounts[midi] + change;
    if (count < 1) {
        activeCounts.erase(midi);
    } else {
        activeCounts[midi] = count;
    }
    std::set<std::int64_t> midis;
    for (const auto& entry : activeCounts) {
        midis.insert(midis.end(), entry.first);
    }
    assign(Property::activeMidis, activeMidis_, std::move(midis));
}

} // namespace tunescrib
