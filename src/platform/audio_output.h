#pragma once
// The sound device as the synthesizer sees it: a format, a pull callback, start/stop,
// and a running flag that the device may clear by itself.

#include <cstdint>
#include <functional>
#include <span>
#include <stdexcept>
#include <string>

namespace tunescrib {

struct AudioFormat {
    double sampleRate = 0.0;        // Hz; 0 when no device answers
    std::uint32_t channelCount = 0; // 0 when no device answers
    bool operator==(const AudioFormat&) const = default;
};

// One output buffer: max(channelCount, 1) channels interleaved frame by frame. data may
// be null (nothing to write); byteSize is the room the buffer declares.
struct AudioBuffer {
    std::uint32_t channelCount = 0;
    std::uint32_t byteSize = 0;
    float* data = nullptr;
};

// Called on the audio thread for every block; must not allocate, log or block on
// anything but the render state's lock. Returns true when nothing sounds and nothing will
// until the output is woken: the output then stops pulling blocks (and costs nothing)
// until wake(). The callback decides this, because only it knows, under its lock, that no
// note is waiting; an output that guessed from the samples could park just as a note came.
using RenderCallback = std::function<bool(std::span<AudioBuffer> buffers, std::int64_t frameCount)>;

// A failure to start audio. what() is the text shown to the user: the back end's own
// message, or a fixed Japanese one.
class AudioStartError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Main thread only, except that the callback runs on the device's thread.
class AudioOutput {
public:
    virtual ~AudioOutput() = default;
    // The format the default output device expects; {0, 0} when there is none.
    virtual AudioFormat deviceFormat() = 0;
    // Opens the device and starts pulling blocks through `callback`. Returns the format
    // the opened stream really runs at. Throws AudioStartError with the back end's message.
    virtual AudioFormat start(RenderCallback callback) = 0;
    // Stops and closes the stream; the callback is not called after this returns.
    virtual void stop() = 0;
    // False once stopped, and also once the device stopped by itself (server gone) or
    // stopped taking blocks (a frozen server); start() brings it back or says why not. An
    // output resting at the callback's request is still running.
    [[nodiscard]] virtual bool isRunning() = 0;
    // Resumes pulling blocks after the callback asked for rest; nothing when not resting.
    // Returns once the stream took its first block again, so that a device that went away
    // meanwhile shows in isRunning() at once (bounded by a few tens of milliseconds).
    virtual void wake() = 0;
};

} // namespace tunescrib
