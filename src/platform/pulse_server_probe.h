#pragma once
// Whether a PulseAudio (or PipeWire pulse) server answers, asked with a time limit.
// RtAudio's own connection waits without one, so a frozen server would freeze the caller.

#include <chrono>
#include <string>

namespace tunescrib {

struct PulseServerAnswer {
    enum class Kind {
        answered, // the server completed the handshake
        absent,   // nothing listens, or the connection was refused: no server at all
        silent,   // something accepted the connection but did not answer in time
    };
    Kind kind = Kind::absent;
    std::string reason; // libpulse's own words when the server is absent or silent
};

// Main thread. Connects to the default server (as any client would: PULSE_SERVER,
// client.conf, autospawn if configured) and waits at most `limit` for the handshake.
PulseServerAnswer askPulseServer(std::chrono::milliseconds limit);

} // namespace tunescrib
