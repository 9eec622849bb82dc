#pragma once
// The program's sound output on this system.

#include "platform/audio_stream_backend.h"
#include "platform/stream_audio_output.h"

#include <memory>

namespace tunescrib {

// The stream logic over the first library that reaches the default device: PipeWire's own
// API where a PipeWire daemon runs, libpulse on a PulseAudio server, then RtAudio (its
// PulseAudio, then ALSA).
std::unique_ptr<StreamAudioOutput> makeSystemAudioOutput(AudioReport report = {});

} // namespace tunescrib
