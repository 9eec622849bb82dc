#pragma once
// AppModel: the one model behind the window. Live notes from keys and the pointer,
// recording of a take, scheduled playback, the four persisted settings, key remapping
// and the status line.
//
// Not thread-safe: construct, call, observe and destroy it on the main thread only.
// Steps it schedules run there too. Its one tie to the audio thread is inside
// SynthEngine.
//
// Wiring (production): the dependencies must outlive the model.
//     SteadyClock clock;
//     QtScheduler scheduler(clock);
//     SettingsFileStore file;
//     BackgroundDefaultsStore store(file, postToTheEventLoop);
//     AppModel model(clock, scheduler, store, [] {
//         return std::make_unique<SynthEngine>(makeSystemAudioOutput());
//     });
// Tests pass ManualClock, ManualScheduler (on the same clock), MemoryDefaultsStore and a
// factory over ManualAudioOutput.

#include "app/observer_list.h"
#include "app/step_sequence.h"
#include "model/key_binding.h"
#include "model/pitch.h"
#include "model/recorded_note.h"
#include "model/sound_mode.h"
#include "platform/clock.h"
#include "platform/defaults_store.h"
#include "platform/key_event.h"
#include "platform/scheduler.h"
#include "synth/synth_engine.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

namespace tunescrib {

// The thirteen published properties, in declaration order.
enum class Property {
    baseOctave,
    transposition,
    soundMode,
    bindings,
    activeMidis,
    lastMidi,
    recordedNotes,
    isRecording,
    isPlaying,
    mappingOpen,
    mappingTarget,
    notice,
    audioError,
};
inline constexpr int publishedPropertyCount = 13;

// Seconds between attempts to build the synthesizer while there is none (no sound server).
inline constexpr double synthRetryInterval = 3.0;

// Playback steps waiting on the scheduler at most; a take of up to half as many notes is
// scheduled whole when it starts.
inline constexpr std::size_t playbackStepsAhead = 64;

// Builds the synthesizer, which starts audio output. May throw AudioStartError; the
// model then runs silently and says so.
using SynthFactory = std::function<std::unique_ptr<SynthEngine>()>;

// Writes a whole file at `path`, or leaves it as it was and says why (errno codes).
using FileWriter =
    std::function<std::error_code(const std::string& path, std::span<const std::uint8_t> bytes)>;

class AppModel {
public:
    // Gives every property its initial value, applies the stored preferences (without
    // saving them back), then builds the synthesizer through `makeSynth`.
    AppModel(Clock& clock, Scheduler& scheduler, DefaultsStore& store,
             const SynthFactory& makeSynth);
    // Cancels pending playback steps and silences every voice at once.
    ~AppModel();
    AppModel(const AppModel&) = delete;
    AppModel& operator=(const AppModel&) = delete;

    // Observation. The observer is called after every assignment of a published
    // property, also when the value did not change, with the property assigned; it may
    // read the model but must not call its operations.
    [[nodiscard]] Subscription subscribe(std::function<void(Property)> observer);

    // Published properties.
    [[nodiscard]] std::int64_t baseOctave() const { return baseOctave_; }
    [[nodiscard]] std::int64_t transposition() const { return transposition_; }
    [[nodiscard]] SoundMode soundMode() const { return soundMode_; }
    [[nodiscard]] const BindingList& bindings() const { return bindings_; }
    [[nodiscard]] const std::set<std::int64_t>& activeMidis() const { return activeMidis_; }
    [[nodiscard]] std::optional<std::int64_t> lastMidi() const { return lastMidi_; }
    // In the order the notes ended.
    [[nodiscard]] const std::vector<RecordedNote>& recordedNotes() const { return recordedNotes_; }
    [[nodiscard]] bool isRecording() const { return isRecording_; }
    [[nodiscard]] bool isPlaying() const { return isPlaying_; }
    [[nodiscard]] bool mappingOpen() const { return mappingOpen_; }
    [[nodiscard]] std::optional<std::int64_t> mappingTarget() const { return mappingTarget_; }
    [[nodiscard]] const std::string& notice() const { return notice_; }
    [[nodiscard]] const std::optional<std::string>& audioError() const { return audioError_; }

    // Derived readouts, computed on each call.
    // The MIDI note an offset plays under the current octave and transposition.
    [[nodiscard]] std::int64_t midiFor(std::int64_t offset) const;
    // Whether the offset's current note sounds, from whichever source.
    [[nodiscard]] bool isActive(std::int64_t offset) const;
    // Name and solfège of lastMidi; std::nullopt before the first note.
    [[nodiscard]] std::optional<NoteDetails> currentDetails() const;
    // Names of the lowest and highest notes of the keyboard, e.g. "C4" and "G5".
    [[nodiscard]] std::string rangeStart() const;
    [[nodiscard]] std::string rangeEnd() const;
    // The take by start time; notes starting together keep the order they ended in.
    [[nodiscard]] std::vector<RecordedNote> sortedRecordedNotes() const;
    // End of the last-ending note, seconds; 0 for an empty take.
    [[nodiscard]] double takeDuration() const;

    // Live performance.
    // Offers a key event; true when the model used it (the bridge then swallows it).
    bool handleKeyEvent(const KeyEvent& event);
    // The application lost focus: every held source stops, since its key-up may never come.
    void applicationDidResignActive();
    // Starts the note `offset` plays now under `sourceID` ("keyboard:<code>",
    // "pointer:<offset>"); nothing when that source is already sounding.
    void startSource(std::int64_t offset, const std::string& sourceID);
    // Releases the source; an identifier that is not sounding is ignored.
    void stopSource(const std::string& sourceID);
    // Releases every sounding source: keys, pointer and playback notes.
    void stopAllLiveSources();

    // Recording.
    void toggleRecording();
    void stopRecording();
    void clearRecording();
    // Brings back the take the last clear emptied; nothing once a new recording started.
    void undoClear();

    // Export of the take.
    // The take as a Standard MIDI File in the timbre playback would use.
    [[nodiscard]] std::vector<std::uint8_t> takeAsMidiFile() const;
    // Writes the take to `path` through `write` and says in the notice that it did, or
    // why not (a failure only when `announceSuccess` is false). Refused, like playback,
    // for an empty take and while recording. True when the file was written.
    bool exportTake(const std::string& path, const FileWriter& write, bool announceSuccess = true);

    // Playback.
    void playRecording();
    void stopPlayback();

    // Settings (each assignment is saved at once).
    void changeOctave(std::int64_t step);
    void changeTransposition(std::int64_t value);
    void setSoundMode(SoundMode mode);

    // Key remapping.
    // Opens the panel and waits for a key for `offset` (0..19; others are ignored).
    void selectMapping(std::int64_t offset);
    void resetBindings();
    // The panel's launcher passes true. Passing false is closeMapping(): a capture never
    // waits behind a closed panel.
    void setMappingOpen(bool open);
    // Closes the panel and drops a pending capture; no notice.
    void closeMapping();

private:
    struct LiveSource {
        std::int64_t midi = 0;
        std::int64_t offset = 0; // 0 for a playback note
    };
    struct PendingRecordedNote {
        std::int64_t midi = 0;
        double start = 0.0; // seconds from the start of the take
    };

    // Every change of a published property goes through one of these two.
    template <typename T> void assign(Property property, T& field, T value) {
        field = std::move(value);
        published(property);
    }
    // After an assignment (or an in-place change) of `property`: saves a setting, then
    // tells the observers.
    void published(Property property);
    void loadPreferences();
    void savePreferences();
    // Sets the notice of a settings operation; when its save failed, says that instead,
    // since a change that will be gone at the next start must not be confirmed.
    void announce(std::string text);
    // A store that writes in the background refused a save after the change was confirmed:
    // the status line takes that back.
    void saveRefusedLater(const StoreFailure& failure);
    void startSynth(const SynthFactory& makeSynth);
    // Without a synthesizer, tries again to build one (a sound server may have come since),
    // at most once per synthRetryInterval so that a frozen server cannot stall every key.
    void retrySynth();

    bool captureKey(const KeyEvent& event);
    void updateMidiActivity(std::int64_t midi, std::int64_t change);
    // Removes a live source, releases its voice and its count; false when not live.
    bool releaseLiveSource(const std::string& sourceID);
    void finishPendingRecording(const std::string& sourceID);
    [[nodiscard]] std::string noteNameFor(std::int64_t offset) const;

    // One step of a playback: a note of playbackNotes starts or ends, or the take ends.
    struct PlaybackStep {
        enum class Kind : std::uint8_t { noteOn, noteOff, end };
        Kind kind = Kind::end;
        std::size_t note = 0;
    };
    void runPlaybackStep(PlaybackStep step);
    void playbackNoteOn(const RecordedNote& note, const std::string& sourceID);
    void playbackNoteOff(const std::string& sourceID);
    void playbackEnded();
    void releasePlaybackNotes();

    Clock& clock;
    Scheduler& scheduler;
    DefaultsStore& store;
    ObserverList<Property> observers;

    // Published.
    std::int64_t baseOctave_ = 4;
    std::int64_t transposition_ = 0;
    SoundMode soundMode_ = SoundMode::piano;
    BindingList bindings_ = defaultBindings();
    std::set<std::int64_t> activeMidis_;
    std::optional<std::int64_t> lastMidi_;
    std::vector<RecordedNote> recordedNotes_;
    bool isRecording_ = false;
    bool isPlaying_ = false;
    bool mappingOpen_ = false;
    std::optional<std::int64_t> mappingTarget_;
    std::string notice_ = "入力待ち";
    std::optional<std::string> audioError_;

    // Private.
    SynthFactory synthFactory;
    double nextSynthAttempt = 0.0;      // clock reading before which retrySynth waits
    std::unique_ptr<SynthEngine> synth; // null when audio could not start
    bool isLoadingPreferences = false;
    std::optional<StoreFailure> unannouncedSaveFailure;
    std::map<std::string, LiveSource> liveSources;
    std::map<std::int64_t, std::int64_t> activeCounts; // every count >= 1
    double recordingStart = 0.0;
    std::map<std::string, PendingRecordedNote> recordingHeld;
    std::vector<RecordedNote> clearedTake; // what undoClear() brings back; empty: nothing
    // The take as it was when playback started, in start order, and every step of that
    // playback in the order they are due.
    std::vector<RecordedNote> playbackNotes;
    std::vector<PlaybackStep> playbackPlan;
    StepSequence playbackSteps{scheduler, playbackStepsAhead};
    std::set<std::string> playbackSourceIDs;
};

} // namespace tunescrib
