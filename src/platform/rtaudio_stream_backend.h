#pragma once
// The default output device through RtAudio.

#include "platform/audio_stream_backend.h"

#include <memory>

namespace tunescrib {

// A backend that plays through the PulseAudio API (a PipeWire pulse server serves it too),
// or through ALSA's default device when no sound server runs. Opening first asks the
// server, with a time limit of 1.5 s, whether it answers at all and has a default sink: a
// frozen server fails the open instead of freezing the caller, and a server without a sink
// is never handed to RtAudio, which cannot cope with one. Interleaved 32-bit float at the
// device's own sample rate, in two buffers of 256 frames so that little sound waits
// between a key and the speaker. RtAudio prints nothing.
//
// Stream trouble is told by kind, not by wording: on PulseAudio every error of the stream
// thread is final (a write to a server that went away); ALSA reports an underrun as a
// warning followed by a block flagged as underflowed, and any other warning or error is
// final. At most one stream should run at a time in a process: RtAudio's error callback
// carries no context, so errors are routed by the thread that raised them.
//
// Once a stream runs, its thread is given real-time scheduling where the system allows it
// (see makeThreadRealtime); `report`, when given, hears on the main thread one line saying
// what the thread got.
std::unique_ptr<AudioStreamBackend> makeRtAudioBackend(AudioReport report = {});

} // namespace tunescrib
