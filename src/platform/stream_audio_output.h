#pragma once
// The output's logic over one stream backend: resting and waking at the render callback's
// word, noticing a failed or stalled stream, restarting, and closing without ever waiting
// on a stuck device.

#include "platform/audio_output.h"
#include "platform/audio_stream_backend.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace tunescrib {

// Main thread only; the render callback runs on the backend's stream thread.
//
// Rest: when the callback asks for it, the backend pauses the stream until wake(), so that
// an idle program costs no CPU, its device may sleep, and the first block after a wake
// already carries the note. A stream that took no block for stallLimit while it was
// not resting has stalled (a frozen server): isRunning() reports false and start() fails
// at once with stalledDescription instead of waiting on the server; the stream is kept,
// and plays on if the server resumes. A failed stream (the server died) is closed and the
// next start() opens a new one. Closing waits at most closeLimit for the backend; a
// stream stuck in its device is then abandoned to its thread, which the operating system
// reclaims at exit.
class StreamAudioOutput final : public AudioOutput {
public:
    static constexpr std::chrono::milliseconds stallLimit{1000};
    static constexpr std::chrono::milliseconds closeLimit{300};
    // How long wake() waits for the stream to take its first block again.
    static constexpr std::chrono::milliseconds wakeProofLimit{50};
    static constexpr const char* stalledDescription = "the sound server stopped taking audio";

    // `now` reads a monotonic clock in seconds from any thread (the steady clock when
    // empty; tests pass their own).
    explicit StreamAudioOutput(BackendFactory makeBackend, std::function<double()> now = {});
    ~StreamAudioOutput() override;
    StreamAudioOutput(const StreamAudioOutput&) = delete;
    StreamAudioOutput& operator=(const StreamAudioOutput&) = delete;

    AudioFormat deviceFormat() override;
    // Opens a new stream (closing a failed one first). Throws AudioStartError with the
    // backend's words, or with stalledDescription while the stream has stalled.
    AudioFormat start(RenderCallback callback) override;
    void stop() override;
    [[nodiscard]] bool isRunning() override;
    void wake() override;

    // What the running stream is, for diagnostics; nothing when none runs.
    [[nodiscard]] std::optional<OpenedStream> stream() const;
    // True while the stream thread waits for wake().
    [[nodiscard]] bool isResting() const;

private:
    class Session;
    void closeSession();

    BackendFactory makeBackend;
    std::function<double()> now;
    // The backend that told the device's format, kept to open the first stream, so that
    // starting asks the server once.
    std::unique_ptr<AudioStreamBackend> formatTeller;
    std::shared_ptr<Session> session;
};

} // namespace tunescrib
