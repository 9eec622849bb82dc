#pragma once
// The default output through PipeWire's own API, where a PipeWire daemon runs.

#include "platform/audio_stream_backend.h"

#include <memory>

namespace tunescrib {

// A backend that plays a PipeWire stream, linked by the session manager to the default
// sink: interleaved 32-bit float, two channels, at the rate the graph runs at, with a small
// node latency so that a key sounds within a few milliseconds. Its blocks are filled in
// PipeWire's real-time data thread, which the library schedules as it schedules its own.
//
// Where no PipeWire daemon answers (a PulseAudio desktop, no sound server at all),
// deviceFormat() and open() fail within milliseconds, and a daemon that accepts the
// connection but does not answer within 1.5 s fails them too, so that the caller tries
// another way. pause() deactivates the stream's node, so that the sink and its device can
// suspend; resume() activates it again. A stream that errs, or a daemon that goes away,
// fails the stream, told by state and not by wording.
//
// The loop thread, which carries a wake to the daemon, is made real-time as the other
// backends' event threads are (see makeThreadRealtime). `report`, when given, hears on the
// main thread what the data thread and the loop thread got.
std::unique_ptr<AudioStreamBackend> makePipeWireBackend(AudioReport report = {});

} // namespace tunescrib
