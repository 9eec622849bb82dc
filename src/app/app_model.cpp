// Construction, observation, the derived readouts and the stored preferences.
#include "app/app_model.h"

#include "app/status_messages.h"
#include "model/preferences.h"

namespace tunescrib {

AppModel::AppModel(Clock& clock, Scheduler& scheduler, DefaultsStore& store,
                   const SynthFactory& makeSynth)
    : clock(clock), scheduler(scheduler), store(store), synthFactory(makeSynth) {
    store.setFailureListener([this](const StoreFailure& failure) { saveRefusedLater(failure); });
    loadPreferences();
    startSynth(makeSynth);
}

AppModel::~AppModel() {
    store.setFailureListener(nullptr);
    // The pending playback steps are cancelled as playbackSteps goes.
    if (synth) {
        synth->allNotesOff(true);
    }
}

Subscription AppModel::subscribe(std::function<void(Property)> observer) {
    return observers.subscribe(std::move(observer));
}

void AppModel::published(Property property) {
    switch (property) {
    case Property::baseOctave:
    case Property::transposition:
    case Property::soundMode:
    case Property::bindings:
        savePreferences();
        break;
    default:
        break;
    }
    observers.notify(property);
}

void AppModel::startSynth(const SynthFactory& makeSynth) {
    try {
        synth = makeSynth ? makeSynth() : nullptr;
        if (!synth) {
            throw AudioStartError(outputUnavailableDescription);
        }
    } catch (const AudioStartError& error) {
        assign(Property::audioError, audioError_, std::optional<std::string>(error.what()));
        assign(Property::notice, notice_, std::string(message::audioStartFailed));
        nextSynthAttempt = clock.now() + synthRetryInterval;
    }
}

void AppModel::retrySynth() {
    if (clock.now() >= nextSynthAttempt) {
        startSynth(synthFactory);
    }
}

void AppModel::loadPreferences() {
    isLoadingPreferences = true;
    if (const auto bytes = store.data(preferencesKey)) {
        if (auto stored = readStoredPreferences(*bytes)) {
            assign(Property::bindings, bindings_, std::move(stored->bindings));
            assign(Property::baseOctave, baseOctave_, stored->baseOctave);
            assign(Property::transposition, transposition_, stored->transposition);
            assign(Property::soundMode, soundMode_, stored->soundMode);
        }
    }
    isLoadingPreferences = false;
}

void AppModel::savePreferences() {
    if (isLoadingPreferences || !bindingsAreValid(bindings_)) {
        return;
    }
    const auto bytes =
        encodePreferences(AppPreferences{bindings_, baseOctave_, transposition_, soundMode_});
    if (bytes) {
        unannouncedSaveFailure = store.set(preferencesKey, *bytes);
    }
}

namespace {

std::string saveFailureText(const StoreFailure& failure) {
    std::string text = message::settingsNotSaved;
    if (failure.error) {
        text += "（" + failure.error.message() + "）";
    }
    return text;
}

} // namespace

void AppModel::announce(std::string text) {
    if (const auto failure = std::exchange(unannouncedSaveFailure, std::nullopt)) {
        text = saveFailureText(*failure);
    }
    assign(Property::notice, notice_, std::move(text));
}

void AppModel::saveRefusedLater(const StoreFailure& failure) {
    assign(Property::notice, notice_, saveFailureText(failure));
}

std::int64_t AppModel::midiFor(std::int64_t offset) const {
    return midiForOffset(baseOctave_, offset, transposition_);
}

bool AppModel::isActive(std::int64_t offset) const {
    return activeMidis_.contains(midiFor(offset));
}

std::optional<NoteDetails> AppModel::currentDetails() const {
    if (!lastMidi_) {
        return std::nullopt;
    }
    return noteDetails(*lastMidi_);
}

std::string AppModel::rangeStart() const {
    return noteDetails(midiFor(keyOffsets.front())).name;
}

std::string AppModel::rangeEnd() const {
    return noteDetails(midiFor(keyOffsets.back())).name;
}

} // namespace tunescrib
