#pragma once
// The one object the main thread shares with the audio thread.

#include "synth/voice_table.h"

#include <mutex>

namespace tunescrib {

// `lock` guards `voices` and `sampleRate`. The control operations take it for one table
// update, the renderer for a whole block; nothing takes it twice.
class SynthRenderState {
public:
    std::mutex lock;
    VoiceTable voices;
    double sampleRate = 48000.0; // Hz of the running stream; set on every (re)start
};

} // namespace tunescrib
