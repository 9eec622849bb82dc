#pragma once
// The sound of one voice: its partials under its envelope, frame by frame.

#include "synth/synth_voice.h"

#include <cstdint>

namespace tunescrib {

// Most frames synthesizeVoice takes in one call; the oscillators and envelopes run as
// recurrences that are reseeded from the voice's exact state at every call.
inline constexpr std::int64_t maxSynthesisFrames = 256;

// Audio thread, under the render state's lock. Adds `frames` (at most
// maxSynthesisFrames) samples of the voice to mix[0..frames) and advances its phase, age
// and release gain by as many frames.
void synthesizeVoice(SynthVoice& voice, double sampleRate, float* mix, std::int64_t frames);

} // namespace tunescrib
