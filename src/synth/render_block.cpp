#include "synth/render_block.h"

#include "synth/soft_clip.h"
#include "synth/voice_synthesis.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>

namespace tunescrib {

namespace {

// Writes n mono frames, starting at frame `first`, to every channel of the buffer,
// never past the bytes it declares.
void writeFrames(const AudioBuffer& buffer, std::int64_t first, const float* mono, std::int64_t n) {
    if (buffer.data == nullptr) {
        return;
    }
    const std::size_t channels = std::max<std::uint32_t>(buffer.channelCount, 1);
    const std::size_t capacity = buffer.byteSize / sizeof(float);
    const std::size_t begin = static_cast<std::size_t>(first) * channels;
    if (begin >= capacity) {
        return;
    }
    const std::size_t room = capacity - begin;
    const std::size_t whole = std::min(static_cast<std::size_t>(n), room / channels);
    float* out = buffer.data + begin;
    for (std::size_t i = 0; i < whole; ++i) {
        std::fill_n(out + i * channels, channels, mono[i]);
    }
    if (whole < static_cast<std::size_t>(n)) {
        std::fill_n(out + whole * channels, room - whole * channels, mono[whole]);
    }
}

bool hasFaded(const SynthVoice& voice) {
    return voice.releaseGain < retireGain || voice.age > maxVoiceAge;
}

} // namespace

bool renderBlock(SynthRenderState& state, std::span<AudioBuffer> buffers, std::int64_t frameCount,
                 float outputVolume) {
    for (const AudioBuffer& buffer : buffers) {
        if (buffer.data != nullptr) {
            std::memset(buffer.data, 0, buffer.byteSize);
        }
    }
    std::lock_guard guard(state.lock);
    if (state.voices.empty()) {
        state.silentFrames += std::max<std::int64_t>(frameCount, 0);
        state.idle = state.idle || static_cast<double>(state.silentFrames) >=
                                       secondsBeforeIdle * state.sampleRate;
        return state.idle;
    }
    state.silentFrames = 0;
    const double sampleRate = state.sampleRate;
    auto& slots = state.voices.slots();
    // Every channel carries the same mono mix, so it is made once per block of frames.
    std::array<float, maxSynthesisFrames> mix{};
    for (std::int64_t first = 0; first < frameCount; first += maxSynthesisFrames) {
        const std::int64_t n = std::min(maxSynthesisFrames, frameCount - first);
        std::fill_n(mix.begin(), n, 0.0f);
        for (VoiceSlot& slot : slots) {
            if (slot.active) {
                synthesizeVoice(slot.voice, sampleRate, mix.data(), n);
            }
        }
        softClip(mix.data(), n, outputVolume);
        for (const AudioBuffer& buffer : buffers) {
            writeFrames(buffer, first, mix.data(), n);
        }
    }
    for (VoiceSlot& slot : slots) {
        if (slot.active && hasFaded(slot.voice)) {
            state.voices.retire(slot);
        }
    }
    return false;
}

} // namespace tunescrib
