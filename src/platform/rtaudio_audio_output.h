#pragma once
// The default output device through RtAudio.

#include "platform/audio_output.h"

#include <memory>
#include <optional>
#include <string>

namespace tunescrib {

// Plays through the PulseAudio API (a PipeWire pulse server serves it too), or through
// ALSA's default device when no sound server runs. A start first asks the server, with a
// time limit of 1.5 s, whether it answers at all: a frozen server fails the start instead
// of freezing the caller. Interleaved 32-bit float at the
// device's own sample rate, in small buffers (two of outputBufferFrames) so that little
// sound waits between a key and the speaker. RtAudio prints nothing.
//
// After two seconds of nothing but exact silence the stream thread sleeps, so an idle
// program costs no CPU; isRunning() then reports false and start() wakes the same stream
// at once instead of opening a new one.
//
// Main thread only; the render callback runs on RtAudio's stream thread. When the device
// fails (the server dies, the device goes away) that thread only raises a flag and stops
// pulling; isRunning() then reports false and closes the stream, here on the main thread.
// At most one RtAudioOutput should run at a time in a process: RtAudio's error callback
// carries no context, so errors are routed by the thread that raised them.
class RtAudioOutput final : public AudioOutput {
public:
    // Frames per buffer asked of the device, and the number of buffers.
    static constexpr unsigned outputBufferFrames = 256;
    static constexpr unsigned outputBufferCount = 2;

    RtAudioOutput();
    ~RtAudioOutput() override;
    RtAudioOutput(const RtAudioOutput&) = delete;
    RtAudioOutput& operator=(const RtAudioOutput&) = delete;

    // Asks the sound server (or ALSA) for the default output device; {0, 0} when none.
    AudioFormat deviceFormat() override;
    // Wakes a sleeping stream; otherwise closes any earlier stream, then opens and starts
    // a new one. Throws AudioStartError
    // with the back ends' own messages when neither PulseAudio nor ALSA can play.
    AudioFormat start(RenderCallback callback) override;
    void stop() override;
    // False once stopped, asleep, or once the device failed; a failed stream is closed here.
    [[nodiscard]] bool isRunning() override;

    // What the running stream is: the API used, frames per buffer as granted, and the
    // latency RtAudio reports in frames (0 when the API reports none).
    struct StreamFigures {
        std::string api;
        unsigned bufferFrames = 0;
        long latencyFrames = 0;
    };
    [[nodiscard]] std::optional<StreamFigures> streamFigures();

private:
    void closeFailedStream();

    class Stream;
    std::unique_ptr<Stream> stream;
};

} // namespace tunescrib
