#pragma once
// The default output device through libpulse's asynchronous API, on a PulseAudio server
// (or any server that speaks its protocol).

#include "platform/audio_stream_backend.h"

#include <memory>

namespace tunescrib {

// A backend that plays one stream, "Tunescrib", on the server's default sink: interleaved
// 32-bit float at the sink's rate, on one or two channels, with a small target buffer that
// the server keeps filled through requests answered from libpulse's own event thread.
//
// Asking: deviceFormat() connects once, with a time limit of 1.5 s, reads the default
// sink's format and keeps the connection for the open() that follows. A server that does
// not answer in time, refuses the connection or has no default sink fails the open with
// AudioStartError saying which.
//
// Latency: the buffer starts small; an underrun while sound plays doubles it (up to a cap)
// and a calm spell halves it again, each change told through `report` (from the event
// thread, and only on such a change). pause() corks the stream, so that an idle program
// keeps no sink awake; resume() drops what was buffered before the pause (the client only
// rests after silence), refills the whole buffer and only then uncorks, so the next block
// is the first one heard and a waking sink finds it full.
//
// Threads: the event thread is given real-time scheduling where the system allows it
// (see makeThreadRealtime), said once through `report`. Stream trouble is told by the
// context's and the stream's states, never by wording.
std::unique_ptr<AudioStreamBackend> makePulseBackend(AudioReport report = {});

} // namespace tunescrib
