#pragma once
// One sound stream as an output drives it: open, start, close, and a call per block
// from the stream's own thread. The output's logic (rest and wake, a failed or stalled
// stream, restart) lives above this seam and is tested against a fake below it.

#include "platform/audio_output.h"

#include <functional>
#include <memory>
#include <string>

namespace tunescrib {

// What a backend's stream thread tells the output.
class StreamClient {
public:
    virtual ~StreamClient() = default;
    // Stream thread, before every block is written: fill `frames` interleaved frames of
    // the stream's channels into `samples`. `underflowed`: the device ran dry before this
    // block and recovered by itself. Returns false when the stream must stop pulling; the
    // backend then stops it without writing the block.
    virtual bool onBlock(float* samples, unsigned frames, bool underflowed) = 0;
    // Stream thread (or within open): the stream cannot go on, the server died or the
    // device went away. Called at most once per stream; onBlock may still be called.
    virtual void onStreamFailed() = 0;
};

// What an opened stream runs at.
struct OpenedStream {
    AudioFormat format;        // rate and channels of the samples onBlock is given
    std::string api;           // which library plays it, for diagnostics
    unsigned bufferFrames = 0; // frames per block as granted
};

// One stream on the default device; a backend object opens at most one. Main thread only,
// except that the client is called from the stream's thread.
class AudioStreamBackend {
public:
    virtual ~AudioStreamBackend() = default;
    // The default device's format, without opening a stream; {0, 0} when there is none.
    virtual AudioFormat deviceFormat() = 0;
    // Opens a stream on the default device that will call `client` once started. Throws
    // AudioStartError with the libraries' own words when nothing can play.
    virtual OpenedStream open(StreamClient& client) = 0;
    // Starts pulling blocks from the client. Throws AudioStartError.
    virtual void start() = 0;
    // Stops pulling blocks until resume(), and lets the device sleep where the library can
    // (a corked stream, an inactive node), so that an idle program keeps no sink awake.
    // Called from within onBlock, whose block is still played, or from any thread. Neither
    // call blocks, and the later of the two holds however the library's own thread sees
    // them: a resume() right after a pause() leaves the stream pulling. Blocks the backend
    // pulls before a pause takes hold are played as the client filled them.
    virtual void pause() = 0;
    virtual void resume() = 0;
    // True once deviceFormat() or open() gave up on a server that took the connection but
    // did not answer in time: every other way to the device would wait on it as long.
    [[nodiscard]] virtual bool isServerSilent() const = 0;
    // Stops and closes the stream; `client` is not called after this returns. Blocks for
    // as long as the stream's thread is stuck in the device (a frozen server).
    virtual void close() = 0;
};

using BackendFactory = std::function<std::unique_ptr<AudioStreamBackend>()>;

// Where a backend says one line of what it got from the system (the audio thread's
// scheduling, a buffer grown after an underrun), for the debug log, from the main thread
// or from the backend's own event thread.
using AudioReport = std::function<void(const std::string& line)>;

} // namespace tunescrib
