#include "platform/stream_audio_output.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <span>
#include <thread>
#include <utility>

namespace tunescrib {

namespace {

double steadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

// One opened stream and what its thread shares with the main thread. Owned by the output,
// and by the thread that closes it, which may outlive the output when the device is stuck.
class StreamAudioOutput::Session final : public StreamClient {
public:
    Session(std::unique_ptr<AudioStreamBackend> backend, RenderCallback render,
            std::function<double()> now)
        : backend(std::move(backend)), render(std::move(render)), now(std::move(now)),
          lastBlockAt(this->now()) {}

    // The stream's format is known before its thread first asks for a block.
    void open() {
        opened = backend->open(*this);
        backend->start();
    }

    [[nodiscard]] const OpenedStream& stream() const { return opened; }
    [[nodiscard]] bool hasFailed() const { return failed.load(std::memory_order_acquire); }

    [[nodiscard]] bool isResting() const { return resting.load(std::memory_order_acquire); }

    // Main thread. A stream that is neither resting nor taking blocks.
    [[nodiscard]] bool hasStalled() const {
        const double limit = std::chrono::duration<double>(stallLimit).count();
        return !isResting() && now() - lastBlockAt.load(std::memory_order_acquire) > limit;
    }

    // Main thread: the callback asked for rest and now has a note. Waits until the stream
    // wrote a block since, failed, or wakeProofLimit passed.
    void wake() {
        std::unique_lock guard(restLock);
        proofPending = true;
        if (resting.load(std::memory_order_relaxed)) {
            resting.store(false, std::memory_order_release);
            // Time spent resting is not a stall.
            lastBlockAt.store(now(), std::memory_order_release);
            backend->resume();
        } else {
            // The callback asked for rest, but its block has not yet paused the stream.
            wakeAsked = true;
        }
        restChange.wait_for(guard, wakeProofLimit, [this] { return !proofPending || hasFailed(); });
    }

    // Main thread: the stream is closing; the callback's next wish for rest is not obeyed.
    void release() {
        std::lock_guard guard(restLock);
        closing = true;
    }

    void close() { backend->close(); }

    bool onBlock(float* samples, unsigned frames, bool) override {
        lastBlockAt.store(now(), std::memory_order_release);
        const std::size_t sampleCount = std::size_t{frames} * opened.format.channelCount;
        if (proofPending.load(std::memory_order_acquire) && renderedSinceWake) {
            std::lock_guard guard(restLock);
            proofPending = false;
            renderedSinceWake = false;
            restChange.notify_all();
        }
        if (hasFailed()) {
            std::fill_n(samples, sampleCount, 0.0F);
            return false;
        }
        if (isResting()) {
            // A block the backend pulled before its pause took hold: nothing sounds, and
            // rendering it would let the synthesizer think the output heard a new note.
            std::fill_n(samples, sampleCount, 0.0F);
            return true;
        }
        AudioBuffer buffer{opened.format.channelCount,
                           static_cast<std::uint32_t>(sampleCount * sizeof(float)), samples};
        const bool restWanted = render(std::span(&buffer, 1), frames);
        renderedSinceWake = proofPending.load(std::memory_order_acquire);
        if (restWanted) {
            restUnlessWoken();
        }
        return true;
    }

    void onStreamFailed() override {
        std::lock_guard guard(restLock);
        failed.store(true, std::memory_order_release);
        restChange.notify_all();
    }

private:
    // Stream thread, after the callback asked for rest: pauses the stream, unless a note
    // woke it in the meantime. Under restLock, so that the backend sees this pause before
    // the resume of the wake that follows.
    void restUnlessWoken() {
        std::lock_guard guard(restLock);
        if (std::exchange(wakeAsked, false) || closing) {
            return;
        }
        resting.store(true, std::memory_order_release);
        backend->pause();
    }

    std::unique_ptr<AudioStreamBackend> backend;
    RenderCallback render;
    std::function<double()> now;
    OpenedStream opened;
    std::atomic<bool> failed{false};
    std::atomic<double> lastBlockAt;
    mutable std::mutex restLock;
    std::condition_variable restChange;
    bool wakeAsked = false; // guarded by restLock
    bool closing = false;   // guarded by restLock
    // Written under restLock; read without it so that most blocks take no lock.
    std::atomic<bool> resting{false};
    std::atomic<bool> proofPending{false};
    bool renderedSinceWake = false; // stream thread only
};

StreamAudioOutput::StreamAudioOutput(BackendFactory makeBackend, std::function<double()> now)
    : makeBackend(std::move(makeBackend)), now(now ? std::move(now) : steadySeconds) {}

StreamAudioOutput::~StreamAudioOutput() {
    stop();
}

AudioFormat StreamAudioOutput::deviceFormat() {
    formatTeller = makeBackend();
    return formatTeller->deviceFormat();
}

AudioFormat StreamAudioOutput::start(RenderCallback callback) {
    if (session && session->hasStalled()) {
        throw AudioStartError(stalledDescription);
    }
    closeSession();
    auto backend = formatTeller ? std::move(formatTeller) : makeBackend();
    auto fresh = std::make_shared<Session>(std::move(backend), std::move(callback), now);
    fresh->open();
    session = std::move(fresh);
    return session->stream().format;
}

void StreamAudioOutput::stop() {
    closeSession();
}

bool StreamAudioOutput::isRunning() {
    if (session && session->hasFailed()) {
        closeSession();
    }
    return session && !session->hasStalled();
}

void StreamAudioOutput::wake() {
    if (session) {
        session->wake();
    }
}

std::optional<OpenedStream> StreamAudioOutput::stream() const {
    if (!session) {
        return std::nullopt;
    }
    return session->stream();
}

bool StreamAudioOutput::isResting() const {
    return session && session->isResting();
}

void StreamAudioOutput::closeSession() {
    if (!session) {
        return;
    }
    session->release();
    // The closing thread shares the session, so a stream stuck in its device keeps what
    // its thread may still touch when the device lets go.
    struct Closing {
        std::mutex lock;
        std::condition_variable done;
        bool closed = false;
    };
    auto closing = std::make_shared<Closing>();
    std::thread([closing, stuck = std::move(session)] {
        try {
            stuck->close();
        } catch (...) {
            // A stream that cannot even close cleanly is gone all the same.
        }
        std::lock_guard guard(closing->lock);
        closing->closed = true;
        closing->done.notify_all();
    }).detach();
    std::unique_lock guard(closing->lock);
    closing->done.wait_for(guard, closeLimit, [&] { return closing->closed; });
}

} // namespace tunescrib
