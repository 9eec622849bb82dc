#pragma once
// Whether a PulseAudio (or PipeWire pulse) server answers, and what its default sink is,
// asked with a time limit. RtAudio's own connection waits without one, so a frozen server
// would freeze the caller.

#include "platform/audio_output.h"

#include <chrono>
#include <string>

namespace tunescrib {

struct PulseServerAnswer {
    enum class Kind {
        answered, // the server completed the handshake and named a default sink
        sinkless, // the server answered but has no default sink to play to
        absent,   // nothing listens, or the connection was refused: no server at all
        silent,   // something accepted the connection but did not answer in time
    };
    Kind kind = Kind::absent;
    std::string reason; // why not, in libpulse's words where it gives them
    AudioFormat sink;   // the default sink's rate and channels, when answered
};

// Main thread. Connects to the default server (as any client would: PULSE_SERVER,
// client.conf, autospawn if configured) and waits at most `limit` for the handshake and
// the default sink's description.
PulseServerAnswer askPulseServer(std::chrono::milliseconds limit);

} // namespace tunescrib
