#include "synth/synth_engine.h"

#include "synth/render_block.h"
#include "synth/synth_render_state.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <optional>
#include <utility>

namespace tunescrib {

namespace {

RenderCallback makeRenderCallback(std::shared_ptr<SynthRenderState> state) {
    // The callback holds the render state alone, never the engine.
    return [state = std::move(state)](std::span<AudioBuffer> buffers, std::int64_t frames) {
        return renderBlock(*state, buffers, frames, mainOutputVolume);
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
    startOutput(StaleVoices::drop);
}

SynthEngine::~SynthEngine() {
    output->stop();
}

void SynthEngine::startOutput(StaleVoices stale) {
    {
        // Before the stream pulls its first block: a rest the old stream was told to take
        // must not make the new one rest at once, unwoken by the note that starts it.
        std::lock_guard guard(renderState->lock);
        renderState->silentFrames = 0;
        renderState->idle = false;
    }
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
    if (stale == StaleVoices::drop) {
        for (VoiceSlot& slot : renderState->voices.slots()) {
            if (slot.active && slot.voice.isReleasing) {
                renderState->voices.retire(slot);
            }
        }
    }
}

void SynthEngine::makeRoomForOneMore() {
    std::size_t slotCount = 0;
    {
        std::lock_guard guard(renderState->lock);
        if (!renderState->voices.full()) {
            return;
        }
        slotCount = renderState->voices.slots().size();
    }
    // Only this thread fills slots, so the table still lacks room when the lock is taken
    // again; the renderer can only free some meanwhile.
    std::vector<VoiceSlot> larger(std::max<std::size_t>(2 * slotCount, 16));
    std::lock_guard guard(renderState->lock);
    renderState->voices.adopt(larger);
} // the old slots are freed here, after the lock

void SynthEngine::noteOn(const std::string& sourceID, std::int64_t midi, SoundMode mode) {
    if (!output->isRunning()) {
        // A new stream. Notes let go while the old one was gone were never heard fading
        // and must not come back with this one; notes still held go on.
        startOutput(StaleVoices::drop);
    }
    makeRoomForOneMore();
    // Made before the lock so that the table update under it does not allocate; the
    // identifier storage that comes back is freed after the lock is released.
    std::string id = sourceID;
    const SynthVoice voice{.midi = midi, .mode = mode};
    bool wasIdle = false;
    {
        std::lock_guard guard(renderState->lock);
        renderState->voices.put(id, voice);
        // Decided under the lock the renderer went idle under: either it has seen this
        // voice, or it had already asked the output to rest and this note wakes it.
        wasIdle = std::exchange(renderState->idle, false);
        renderState->silentFrames = 0;
    }
    if (!wasIdle) {
        return;
    }
    output->wake();
    if (!output->isRunning()) {
        // The device went away while resting. The table holds only notes made since the
        // rest began, this one among them: a new stream plays them.
        try {
            startOutput(StaleVoices::keep);
        } catch (const AudioStartError&) {
            noteOff(sourceID, true);
            throw;
        }
    }
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
    // Identifiers and the slot count change only on this thread, so they are read without
    // the lock; under it only the renderer's part is copied, into room made beforehand.
    const std::vector<VoiceSlot>& slots = renderState->voices.slots();
    std::vector<std::optional<SynthVoice>> seen(slots.size());
    {
        std::lock_guard guard(renderState->lock);
        for (std::size_t i = 0; i < slots.size(); ++i) {
            if (slots[i].active) {
                seen[i] = slots[i].voice;
            }
        }
    }
    std::vector<VoiceSnapshot> snapshot;
    for (std::size_t i = 0; i < slots.size(); ++i) {
        if (seen[i]) {
            snapshot.push_back(VoiceSnapshot{slots[i].sourceID, seen[i]->midi, seen[i]->mode,
                                             seen[i]->isReleasing});
        }
    }
    return snapshot;
}

} // namespace tunescrib
