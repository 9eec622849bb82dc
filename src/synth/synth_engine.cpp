#include "synth/synth_engine.h"

#include "synth/render_block.h"
#include "synth/synth_render_state.h"

#include <cmath>
#include <exception>
#include <utility>

namespace tunescrib {

namespace {

RenderCallback makeRenderCallback(std::shared_ptr<SynthRenderState> state) {
    // The callback holds the render state alone, never the engine.
    return [state = std::move(state)](std::span<AudioBuffer> buffers, std::int64_t frames) {
        renderBlock(*state, buffers, frames, mainOutputVolume);
    };
}

void release(SynthVoice& voice, double releaseTime, double sampleRate) {
    voice.releaseCoefficient = std::exp(-1.0 / (releaseTime * sampleRate));
    voice.isReleasing = true;
}

} // namespace

SynthEngine::SynthEngine(std::unique_ptr<AudioOutput> output)
    : output(std::move(output)), renderState(std::make_shared<SynthRenderState>()) {
    if (!this->output) {
        throw AudioStartError(outputUnavailableDescription);
    }
    AudioFormat format;
    try {
        format = this->output->deviceFormat();
    } catch (const std::exception& error) {
        throw AudioStartError(error.what());
    }
    if (!(format.sampleRate > 0.0) || format.channelCount == 0) {
        throw AudioStartError(outputUnavailableDescription);
    }
    startOutput();
}

SynthEngine::~SynthEngine() {
    output->stop();
}

void SynthEngine::startOutput() {
    AudioFormat running;
    try {
        running = output->start(makeRenderCallback(renderState));
    } catch (const AudioStartError&) {
        throw;
    } catch (const std::exception& error) {
        throw AudioStartError(error.what());
    }
    if (!(running.sampleRate > 0.0)) {
        output->stop();
        throw AudioStartError(outputUnavailableDescription);
    }
    std::lock_guard guard(renderState->lock);
    renderState->sampleRate = running.sampleRate;
}

void SynthEngine::noteOn(const std::string& sourceID, std::int64_t midi, SoundMode mode) {
    if (!output->isRunning()) {
        startOutput();
    }
    // Made before the lock so that the table update under it does not allocate; the
    // identifier storage that comes back is freed after the lock is released.
    std::string id = sourceID;
    const SynthVoice voice{.midi = midi, .mode = mode};
    std::lock_guard guard(renderState->lock);
    renderState->voices.put(id, voice);
}

void SynthEngine::noteOff(const std::string& sourceID, bool immediate) {
    std::lock_guard guard(renderState->lock);
    if (immediate) {
        renderState->voices.remove(sourceID);
        return;
    }
    if (SynthVoice* voice = renderState->voices.find(sourceID)) {
        release(*voice, noteOffReleaseTime(voice->mode), renderState->sampleRate);
    }
}

void SynthEngine::allNotesOff(bool immediate) {
    std::lock_guard guard(renderState->lock);
    if (immediate) {
        renderState->voices.clear();
        return;
    }
    for (VoiceSlot& slot : renderState->voices.slots()) {
        if (slot.active) {
            release(slot.voice, allNotesOffReleaseTime(slot.voice.mode), renderState->sampleRate);
        }
    }
}

std::vector<VoiceSnapshot> SynthEngine::voices() const {
    std::vector<VoiceSnapshot> snapshot;
    std::lock_guard guard(renderState->lock);
    for (const VoiceSlot& slot : renderState->voices.slots()) {
        if (slot.active) {
            snapshot.push_back(VoiceSnapshot{slot.sourceID, slot.voice.midi, slot.voice.mode,
                                             slot.voice.isReleasing});
        }
    }
    return snapshot;
}

} // namespace tunescrib
