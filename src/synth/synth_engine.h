#pragma once
// The synthesizer's control side: a table of voices keyed by source identifier, shared
// with the render routine under one lock. SynthEngine's operations run on the main
// thread only; the render routine runs on the audio thread.

#include "model/sound_mode.h"
#include "platform/audio_output.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tunescrib {

class SynthRenderState;

// Text of the start error when the device offers no usable format.
inline constexpr const char* outputUnavailableDescription =
    "音声出力デバイスを開始できませんでした。";

// What tests and diagnostics can see of one voice.
struct VoiceSnapshot {
    std::string sourceID;
    std::int64_t midi = 0;
    SoundMode mode = SoundMode::piano;
    bool isReleasing = false;
};

class SynthEngine {
public:
    // Builds the graph and starts output. Throws AudioStartError: with
    // outputUnavailableDescription when the device has no positive rate or no channels,
    // otherwise with the back end's own message.
    explicit SynthEngine(std::unique_ptr<AudioOutput> output);
    // Stops the output (the callback is gone before the render state is freed).
    ~SynthEngine();
    SynthEngine(const SynthEngine&) = delete;
    SynthEngine& operator=(const SynthEngine&) = delete;

    // Restarts a stopped output first (released voices of the stream that stopped are
    // dropped);
    // throws AudioStartError when that fails, and then adds no voice. Wakes an output that
    // rests. Replaces any voice of the same identifier (restart from silence).
    void noteOn(const std::string& sourceID, std::int64_t midi, SoundMode mode);
    // Releases (or, immediate, removes) the voice of the identifier; never fails.
    void noteOff(const std::string& sourceID, bool immediate = false);
    // Releases (or, immediate, removes) every voice; never fails.
    void allNotesOff(bool immediate = false);

    // A copy of the voice table, taken under the lock. Allocates: not for the audio thread.
    [[nodiscard]] std::vector<VoiceSnapshot> voices() const;

private:
    enum class StaleVoices { drop, keep };
    // Starts the output and takes the sample rate the stream really runs at; drops the
    // released voices when they belong to a stream that is gone.
    void startOutput(StaleVoices stale);
    // Grows the voice table, allocating outside the lock, when a new voice would find no
    // free slot.
    void makeRoomForOneMore();

    std::unique_ptr<AudioOutput> output;
    std::shared_ptr<SynthRenderState> renderState;
};

} // namespace tunescrib
