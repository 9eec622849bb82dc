#pragma once
// One sounding note and the fixed numbers of the two timbres.

#include "model/sound_mode.h"

#include <cstdint>

namespace tunescrib {

// A voice of the table. Written by the control operations and the renderer, always under
// the render state's lock.
struct SynthVoice {
    std::int64_t midi = 0;
    SoundMode mode = SoundMode::piano;
    double phase = 0.0;              // radians, kept in [0, 2pi)
    double age = 0.0;                // seconds rendered so far
    double releaseGain = 1.0;        // 1 while held, falls geometrically once released
    double releaseCoefficient = 1.0; // per-frame factor of releaseGain while releasing
    bool isReleasing = false;
};

inline constexpr double twoPi = 6.283185307179586;

// A voice fades out below this gain, or is cut when older than this many seconds.
inline constexpr double retireGain = 0.0005;
inline constexpr double maxVoiceAge = 18.0;

// The envelope's times in seconds: the linear attack ramp, and the time in which releaseGain
// falls by the factor e after noteOff and after allNotesOff. One switch without a default
// holds every timbre, so a new timbre cannot quietly borrow another's envelope.
struct Envelope {
    double attack;
    double noteOffRelease;
    double allNotesOffRelease;
};

constexpr Envelope envelopeOf(SoundMode mode) {
    switch (mode) {
    case SoundMode::piano:
        return {0.004, 0.16, 0.12};
    case SoundMode::sine:
        return {0.006, 0.07, 0.05};
    }
    return {};
}

constexpr double attackTime(SoundMode mode) {
    return envelopeOf(mode).attack;
}
constexpr double noteOffReleaseTime(SoundMode mode) {
    return envelopeOf(mode).noteOffRelease;
}
constexpr double allNotesOffReleaseTime(SoundMode mode) {
    return envelopeOf(mode).allNotesOffRelease;
}

} // namespace tunescrib
