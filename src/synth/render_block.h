#pragma once
// The render routine: every voice of the table mixed into the output buffers.

#include "platform/audio_output.h"
#include "synth/synth_render_state.h"

#include <cstdint>
#include <span>

namespace tunescrib {

// The gain stage after the source, applied to every output sample after the soft clip.
inline constexpr float mainOutputVolume = 0.82f;

// Seconds of an empty voice table after which the output may rest until the next note.
inline constexpr double secondsBeforeIdle = 2.0;

// Audio thread, one call at a time. Clears each buffer (as many bytes as it declares),
// then, under state.lock, adds every voice's samples to every channel of every buffer,
// advances the voices by frameCount frames, retires those faded below retireGain or
// older than maxVoiceAge, and writes outputVolume * tanh(0.9 x) of the mix. A buffer
// without data is skipped; a buffer with fewer bytes than frameCount frames is written
// only as far as it declares. Neither allocates nor frees. Returns true, and marks the
// state idle, once the table has been empty for secondsBeforeIdle: the output may rest.
bool renderBlock(SynthRenderState& state, std::span<AudioBuffer> buffers, std::int64_t frameCount,
                 float outputVolume);

} // namespace tunescrib
