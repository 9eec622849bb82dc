#pragma once
// The output shaping after the mix: tanh in single precision, then the output volume.

#include <cstdint>

namespace tunescrib {

// Audio thread. Replaces each of the n samples x by volume * tanh(0.9 x), in 32-bit floats.
void softClip(float* samples, std::int64_t n, float volume);

} // namespace tunescrib
