#include "platform/rtaudio_audio_output.h"

#include "platform/pulse_server_probe.h"
#include "platform/silence_watch.h"

#include <RtAudio.h>
#include <alsa/asoundlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <span>
#include <utility>
#include <vector>

namespace tunescrib {

namespace {

// RtAudio's error callback carries no user data: each thread that calls into RtAudio, and
// the stream thread at every block, says here where its errors belong.
struct ErrorRoute {
    std::atomic<bool>* failed = nullptr;
    std::string* text = nullptr; // only on the main thread: the audio thread never copies
};
thread_local ErrorRoute errorRoute;

class RouteErrorsTo {
public:
    RouteErrorsTo(std::atomic<bool>& failed, std::string& text)
        : previous(std::exchange(errorRoute, ErrorRoute{&failed, &text})) {}
    ~RouteErrorsTo() { errorRoute = previous; }
    RouteErrorsTo(const RouteErrorsTo&) = delete;
    RouteErrorsTo& operator=(const RouteErrorsTo&) = delete;

private:
    ErrorRoute previous;
};

bool isRecoverable(RtAudioError::Type type, const std::string& text) {
    // ALSA reports under- and overruns as warnings and recovers from them by itself;
    // every other error of a stream (a failed write to a dead server) is final.
    return type == RtAudioError::WARNING && (text.find("underrun") != std::string::npos ||
                                             text.find("overrun") != std::string::npos);
}

void onRtAudioError(RtAudioError::Type type, const std::string& text) {
    const ErrorRoute route = errorRoute;
    if (isRecoverable(type, text)) {
        return;
    }
    if (route.text != nullptr && route.text->empty()) {
        *route.text = text;
    }
    if (route.failed != nullptr) {
        route.failed->store(true, std::memory_order_release);
    }
}

// ALSA's library prints its configuration complaints to stderr (no card, no server).
void alsaSaysNothing(const char*, int, const char*, int, const char*, ...) {}

void silenceAlsa() {
    static std::once_flag once;
    std::call_once(once, [] { snd_lib_error_set_handler(&alsaSaysNothing); });
}

const char* apiName(RtAudio::Api api) {
    return api == RtAudio::LINUX_PULSE ? "PulseAudio" : "ALSA";
}

// The default output device of one API, or nothing when the API offers none.
struct DefaultDevice {
    unsigned id = 0;
    RtAudio::DeviceInfo info;
};

std::optional<DefaultDevice> defaultDevice(RtAudio& audio) {
    if (audio.getDeviceCount() == 0) {
        return std::nullopt;
    }
    DefaultDevice device;
    device.id = audio.getDefaultOutputDevice();
    device.info = audio.getDeviceInfo(device.id);
    return device;
}

double preferredRate(const RtAudio::DeviceInfo& info) {
    return info.preferredSampleRate > 0 ? static_cast<double>(info.preferredSampleRate) : 48000.0;
}

// How long an output plays pure silence before its thread sleeps until the next start.
constexpr double secondsBeforeSleep = 2.0;

// How long waking a sleeping stream waits to learn whether its server still takes blocks;
// a live one takes the first within a fraction of a millisecond.
constexpr std::chrono::milliseconds wakeProofLimit{50};

// How long a start may wait for the sound server to answer at all.
constexpr std::chrono::milliseconds serverAnswerLimit{1500};

// The APIs worth trying, in order, and what was said of those left out.
struct ApiPlan {
    std::vector<RtAudio::Api> apis;
    std::string skipped;
};

ApiPlan planApis() {
    const PulseServerAnswer answer = askPulseServer(serverAnswerLimit);
    switch (answer.kind) {
    case PulseServerAnswer::Kind::answered:
        return {{RtAudio::LINUX_PULSE, RtAudio::LINUX_ALSA}, {}};
    case PulseServerAnswer::Kind::absent:
        return {{RtAudio::LINUX_ALSA}, "PulseAudio: " + answer.reason};
    case PulseServerAnswer::Kind::silent:
        // ALSA's default device would wait on the same server.
        break;
    }
    return {{}, "PulseAudio: " + answer.reason};
}

void appendFailure(std::string& failures, const std::string& failure) {
    failures += (failures.empty() ? "" : "; ") + failure;
}

} // namespace

// One open stream of one API. Opened and started by the constructor, closed by the
// destructor; both on the main thread.
class RtAudioOutput::Stream {
public:
    Stream(RtAudio::Api api, RenderCallback callback) : audio(api), render(std::move(callback)) {
        audio.showWarnings(false);
        RouteErrorsTo route(failedFlag, startErrorText);
        try {
            open(api);
            if (!failedFlag.load()) {
                audio.startStream();
            }
        } catch (const RtAudioError& error) {
            startErrorText = error.getMessage();
            failedFlag = true;
        }
        if (failedFlag.load()) {
            close();
            throw AudioStartError(startErrorText.empty() ? std::string("the stream did not start")
                                                         : startErrorText);
        }
    }

    ~Stream() { close(); }
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;

    [[nodiscard]] const AudioFormat& format() const { return streamFormat; }

    // False once the device failed; a sleeping stream is still healthy.
    [[nodiscard]] bool isHealthy() {
        return !failedFlag.load(std::memory_order_acquire) && audio.isStreamRunning();
    }

    [[nodiscard]] bool isAsleep() {
        std::lock_guard guard(wakeLock);
        return asleep;
    }

    // Wakes a sleeping stream to pull from `callback`; false when it was not asleep.
    // Returns once the stream has handed the server its first block, or after
    // wakeProofLimit: a server that went away while the stream slept fails that write,
    // and the caller then opens a new stream instead of losing the note to a dead one.
    bool wake(const RenderCallback& callback) {
        std::unique_lock guard(wakeLock);
        if (!asleep) {
            return false;
        }
        // The stream thread waits in sleepUntilWoken and is nowhere near render.
        render = callback;
        asleep = false;
        firstWritePending = true;
        wakeUp.notify_all();
        wakeUp.wait_for(guard, wakeProofLimit, [this] { return !firstWritePending; });
        return true;
    }

    [[nodiscard]] StreamFigures figures() {
        RouteErrorsTo route(failedFlag, ignoredText);
        StreamFigures figures{apiName(audio.getCurrentApi()), grantedFrames, 0};
        try {
            figures.latencyFrames = audio.getStreamLatency();
        } catch (const RtAudioError&) {
            figures.latencyFrames = 0;
        }
        return figures;
    }

private:
    void open(RtAudio::Api api) {
        if (api == RtAudio::LINUX_ALSA) {
            silenceAlsa();
        }
        const auto device = defaultDevice(audio);
        if (!device) {
            throw AudioStartError(api == RtAudio::LINUX_PULSE ? "no sound server answered"
                                                              : "no output device");
        }
        if (device->info.outputChannels == 0) {
            throw AudioStartError("the default device \"" + device->info.name +
                                  "\" has no output channels");
        }
        // One mono mix goes to every channel: two are plenty, the server spreads them.
        channels = std::min(device->info.outputChannels, 2U);
        RtAudio::StreamParameters parameters;
        parameters.deviceId = device->id;
        parameters.nChannels = channels;
        RtAudio::StreamOptions options;
        options.numberOfBuffers = outputBufferCount;
        options.streamName = "Tunescrib";
        grantedFrames = outputBufferFrames;
        audio.openStream(&parameters, nullptr, RTAUDIO_FLOAT32,
                         static_cast<unsigned>(preferredRate(device->info)), &grantedFrames,
                         &Stream::onAudio, this, &options, &onRtAudioError);
        streamFormat = AudioFormat{static_cast<double>(audio.getStreamSampleRate()), channels};
        silence =
            SilenceWatch(static_cast<std::int64_t>(streamFormat.sampleRate * secondsBeforeSleep));
    }

    void close() {
        {
            // RtAudio joins the stream thread, which must not be asleep in our wait.
            std::lock_guard guard(wakeLock);
            closing = true;
        }
        wakeUp.notify_all();
        RouteErrorsTo route(failedFlag, ignoredText);
        try {
            if (audio.isStreamOpen()) {
                audio.closeStream();
            }
        } catch (const RtAudioError&) {
            // A stream that cannot even close cleanly is gone all the same.
        }
    }

    // Stream thread. Called before each block: the write of the one before has ended,
    // and failed when the device failed.
    void reportFirstWrite() {
        if (!firstWritePending.load(std::memory_order_relaxed)) {
            return;
        }
        {
            std::lock_guard guard(wakeLock);
            firstWritePending = false;
        }
        wakeUp.notify_all();
    }

    // Stream thread. Sleeps until woken or closed.
    void sleepUntilWoken() {
        std::unique_lock guard(wakeLock);
        asleep = true;
        wakeUp.wait(guard, [this] { return !asleep || closing; });
        silence.reset();
    }

    // Stream thread. Pulls one block through the render callback; once the device failed
    // it asks RtAudio to abort instead, so a dead server is not written to in a loop.
    // After long silence the thread sleeps instead of feeding the server zeros, which
    // costs a few percent of a core for nothing. The first block after waking is that
    // silence: when an underrun ends, PulseAudio rewinds the sink a few milliseconds,
    // and whatever records the sink's monitor then misses the start of the new data;
    // it should miss a little of nothing rather than a note's attack.
    static int onAudio(void* output, void*, unsigned frames, double, RtAudioStreamStatus,
                       void* user) {
        auto& self = *static_cast<Stream*>(user);
        errorRoute = ErrorRoute{&self.failedFlag, nullptr};
        self.reportFirstWrite();
        auto* samples = static_cast<float*>(output);
        if (self.failedFlag.load(std::memory_order_acquire)) {
            std::fill_n(samples, static_cast<std::size_t>(frames) * self.channels, 0.0F);
            return 2;
        }
        AudioBuffer buffer{self.channels,
                           static_cast<std::uint32_t>(frames * self.channels * sizeof(float)),
                           samples};
        self.render(std::span(&buffer, 1), frames);
        const std::size_t sampleCount = static_cast<std::size_t>(frames) * self.channels;
        if (self.silence.countBlock(samples, sampleCount, frames)) {
            self.sleepUntilWoken();
        }
        return 0;
    }

    RtAudio audio;
    RenderCallback render;
    std::uint32_t channels = 0;
    unsigned grantedFrames = 0;
    AudioFormat streamFormat;
    std::atomic<bool> failedFlag{false};
    std::string startErrorText;
    std::string ignoredText;
    SilenceWatch silence{0};
    std::mutex wakeLock;
    std::condition_variable wakeUp;
    bool asleep = false;  // guarded by wakeLock
    bool closing = false; // guarded by wakeLock
    // Written under wakeLock; read without it first so that most blocks take no lock.
    std::atomic<bool> firstWritePending{false};
};

RtAudioOutput::RtAudioOutput() = default;

RtAudioOutput::~RtAudioOutput() {
    stop();
}

AudioFormat RtAudioOutput::deviceFormat() {
    for (const RtAudio::Api api : planApis().apis) {
        std::atomic<bool> failed{false};
        std::string text;
        RouteErrorsTo route(failed, text);
        try {
            if (api == RtAudio::LINUX_ALSA) {
                silenceAlsa();
            }
            RtAudio audio(api);
            audio.showWarnings(false);
            if (const auto device = defaultDevice(audio); device && !failed.load()) {
                return AudioFormat{preferredRate(device->info), device->info.outputChannels};
            }
        } catch (const RtAudioError&) {
            // This API has no device to offer; try the next.
        }
    }
    return AudioFormat{};
}

AudioFormat RtAudioOutput::start(RenderCallback callback) {
    closeFailedStream();
    if (stream && stream->wake(callback)) {
        closeFailedStream();
        if (stream) {
            return stream->format();
        }
    }
    stream.reset();
    ApiPlan plan = planApis();
    std::string failures = std::move(plan.skipped);
    for (const RtAudio::Api api : plan.apis) {
        try {
            stream = std::make_unique<Stream>(api, callback);
            return stream->format();
        } catch (const AudioStartError& error) {
            appendFailure(failures, std::string(apiName(api)) + ": " + error.what());
        } catch (const RtAudioError& error) {
            appendFailure(failures, std::string(apiName(api)) + ": " + error.getMessage());
        }
    }
    throw AudioStartError(failures);
}

void RtAudioOutput::stop() {
    stream.reset();
}

void RtAudioOutput::closeFailedStream() {
    if (stream && !stream->isHealthy()) {
        stream.reset();
    }
}

bool RtAudioOutput::isRunning() {
    closeFailedStream();
    return stream != nullptr && !stream->isAsleep();
}

std::optional<RtAudioOutput::StreamFigures> RtAudioOutput::streamFigures() {
    closeFailedStream();
    if (!stream) {
        return std::nullopt;
    }
    return stream->figures();
}

} // namespace tunescrib
