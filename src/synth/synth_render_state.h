#pragma once
// The one object the main thread shares with the audio thread.

#include "synth/priority_inheriting_mutex.h"
#include "synth/voice_table.h"

#include <cstdint>

namespace tunescrib {

// `lock` guards every member. The control operations take it for one table update, the
// renderer for a whole block; nothing takes it twice.
class SynthRenderState {
public:
    PriorityInheritingMutex lock;
    VoiceTable voices;
    double sampleRate = 48000.0; // Hz of the running stream; set on every (re)start
    // Frames rendered since the table was last found non-empty (renderer).
    std::int64_t silentFrames = 0;
    // The renderer told the output to rest; the next note must wake it (set by the
    // renderer, cleared by the note that wakes it).
    bool idle = false;
};

} // namespace tunescrib
