#include "platform/rtaudio_stream_backend.h"

#include "platform/pull_gate.h"
#include "platform/pulse_server_probe.h"
#include "platform/realtime_scheduling.h"

#include <RtAudio.h>
#include <alsa/asoundlib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <set>
#include <utility>
#include <vector>

namespace tunescrib {

namespace {

class RtAudioStreamBackend;

// RtAudio's error callback carries no user data: the stream thread says at every block,
// and each main-thread call into RtAudio for its duration, where errors belong.
struct ErrorRoute {
    RtAudioStreamBackend* stream = nullptr; // stream thread: the backend whose block it is
    std::string* text = nullptr;            // main thread: where a failure's words go
};
thread_local ErrorRoute errorRoute;

class RouteErrorsTo {
public:
    explicit RouteErrorsTo(std::string& text)
        : previous(std::exchange(errorRoute, {nullptr, &text})) {}
    ~RouteErrorsTo() { errorRoute = previous; }
    RouteErrorsTo(const RouteErrorsTo&) = delete;
    RouteErrorsTo& operator=(const RouteErrorsTo&) = delete;

private:
    ErrorRoute previous;
};

// ALSA's library prints its configuration complaints to stderr (no card, no server).
void alsaSaysNothing(const char*, int, const char*, int, const char*, ...) {}

void silenceAlsa() {
    static std::once_flag once;
    std::call_once(once, [] { snd_lib_error_set_handler(&alsaSaysNothing); });
}

const char* apiName(RtAudio::Api api) {
    return api == RtAudio::LINUX_PULSE ? "PulseAudio" : "ALSA";
}

// What libpulse calls the thread of a threaded main loop (pa_simple runs one per stream).
constexpr const char* pulseEventThreadName = "threaded-ml";

// The threads of this process with the given name, from /proc.
std::set<pid_t> threadsNamed(const std::string& name) {
    std::set<pid_t> found;
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", error)) {
        std::ifstream comm(task.path() / "comm");
        std::string line;
        if (std::getline(comm, line) && line == name) {
            found.insert(static_cast<pid_t>(std::stol(task.path().filename().string())));
        }
    }
    return found;
}

// How long opening may wait for the sound server to answer at all.
constexpr std::chrono::milliseconds serverAnswerLimit{1500};

// The APIs worth trying, in order, what was said of those left out, and the default
// sink's format when the server described it.
struct ApiPlan {
    std::vector<RtAudio::Api> apis;
    std::string skipped;
    AudioFormat sink;
    bool serverSilent = false;
};

ApiPlan planApis() {
    const PulseServerAnswer answer = askPulseServer(serverAnswerLimit);
    switch (answer.kind) {
    case PulseServerAnswer::Kind::answered:
        return {{RtAudio::LINUX_PULSE, RtAudio::LINUX_ALSA}, {}, answer.sink};
    case PulseServerAnswer::Kind::sinkless:
    case PulseServerAnswer::Kind::absent:
        // ALSA may still reach a card of its own.
        return {{RtAudio::LINUX_ALSA}, "PulseAudio: " + answer.reason, {}};
    case PulseServerAnswer::Kind::silent:
        // ALSA's default device would wait on the same server.
        break;
    }
    return {{}, "PulseAudio: " + answer.reason, {}, true};
}

void appendFailure(std::string& failures, const std::string& failure) {
    failures += (failures.empty() ? "" : "; ") + failure;
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

AudioFormat formatOf(const RtAudio::DeviceInfo& info) {
    return AudioFormat{info.preferredSampleRate > 0 ? static_cast<double>(info.preferredSampleRate)
                                                    : 48000.0,
                       info.outputChannels};
}

class RtAudioStreamBackend final : public AudioStreamBackend {
public:
    static constexpr unsigned outputBufferFrames = 256;
    static constexpr unsigned outputBufferCount = 2;

    explicit RtAudioStreamBackend(AudioReport report) : report(std::move(report)) {}
    ~RtAudioStreamBackend() override { close(); }
    RtAudioStreamBackend(const RtAudioStreamBackend&) = delete;
    RtAudioStreamBackend& operator=(const RtAudioStreamBackend&) = delete;

    AudioFormat deviceFormat() override {
        plan = planApis();
        serverSilent = plan->serverSilent;
        if (plan->sink.channelCount > 0) {
            return plan->sink;
        }
        for (const RtAudio::Api api : plan->apis) {
            std::string text;
            RouteErrorsTo route(text);
            try {
                silenceAlsa();
                RtAudio audio(api);
                audio.showWarnings(false);
                if (const auto device = defaultDevice(audio); device && text.empty()) {
                    return formatOf(device->info);
                }
            } catch (const RtAudioError&) {
                // This API has no device to offer; try the next.
            }
        }
        return AudioFormat{};
    }

    OpenedStream open(StreamClient& streamClient) override {
        client = &streamClient;
        // The plan deviceFormat() made a moment ago, when it did: one question to the server.
        const ApiPlan apis = plan ? *std::exchange(plan, std::nullopt) : planApis();
        serverSilent = apis.serverSilent;
        std::string failures = apis.skipped;
        for (const RtAudio::Api api : apis.apis) {
            std::string text;
            try {
                openWith(api, text);
                return opened;
            } catch (const AudioStartError& error) {
                appendFailure(failures, std::string(apiName(api)) + ": " + error.what());
            } catch (const RtAudioError& error) {
                appendFailure(failures, std::string(apiName(api)) + ": " + error.getMessage());
            }
            close();
        }
        throw AudioStartError(failures);
    }

    void start() override {
        std::string text;
        RouteErrorsTo route(text);
        try {
            audio->startStream();
        } catch (const RtAudioError& error) {
            text = error.getMessage();
        }
        if (!text.empty()) {
            throw AudioStartError(std::string(apiName(audio->getCurrentApi())) + ": " + text);
        }
        scheduleStreamThread();
    }

    [[nodiscard]] bool isServerSilent() const override { return serverSilent; }

    // The stream thread waits at its next block: RtAudio's blocking writes offer no cork,
    // so the device stays open while the program rests.
    void pause() override { gate.pause(); }
    void resume() override { gate.resume(); }

    void close() override {
        if (!audio) {
            return;
        }
        gate.close();
        std::string ignored;
        RouteErrorsTo route(ignored);
        try {
            if (audio->isStreamOpen()) {
                audio->closeStream();
            }
        } catch (const RtAudioError&) {
            // A stream that cannot even close cleanly is gone all the same.
        }
        audio.reset();
    }

    // RtAudio's error callback, on whichever thread raised the error.
    void onError(RtAudioError::Type type) {
        if (type == RtAudioError::DEBUG_WARNING) {
            return;
        }
        if (type == RtAudioError::WARNING && audio->getCurrentApi() == RtAudio::LINUX_ALSA) {
            warningPending = true; // the next block tells an underrun from a failure
            return;
        }
        fail();
    }

private:
    // Priority of the stream thread: that of PulseAudio's own real-time threads, so that
    // the client is as prompt as the server that waits for it, and no more.
    static constexpr int streamThreadPriority = 5;
    // How long start waits for the stream thread's first block, which says who it is.
    static constexpr std::chrono::milliseconds firstBlockLimit{500};

    // The stream thread, and libpulse's own event thread behind pa_simple, which must wake
    // as promptly: it receives the server's requests that the stream thread waits for.
    void scheduleStreamThread() {
        std::unique_lock guard(threadLock);
        if (!threadKnown.wait_for(guard, firstBlockLimit, [this] { return streamThread != 0; })) {
            say("audio thread: normal priority: no block within " +
                std::to_string(firstBlockLimit.count()) + " ms of the start");
            return;
        }
        say("audio thread: " + makeThreadRealtime(streamThread, streamThreadPriority).how);
        for (const pid_t thread : threadsNamed(pulseEventThreadName)) {
            if (!threadsBeforeOpen.contains(thread)) {
                say("sound server event thread: " +
                    makeThreadRealtime(thread, streamThreadPriority).how);
            }
        }
    }

    void say(const std::string& line) const {
        if (report) {
            report(line);
        }
    }

    // Stream thread, first block only: the one lock it ever takes.
    void noteStreamThread() {
        std::lock_guard guard(threadLock);
        streamThread = gettid();
        threadKnown.notify_all();
    }

    void fail() {
        if (!failed.exchange(true)) {
            client->onStreamFailed();
        }
    }

    void openWith(RtAudio::Api api, std::string& text) {
        silenceAlsa();
        RouteErrorsTo route(text);
        threadsBeforeOpen = threadsNamed(pulseEventThreadName);
        audio = std::make_unique<RtAudio>(api);
        audio->showWarnings(false);
        const auto device = defaultDevice(*audio);
        if (!device) {
            throw AudioStartError(api == RtAudio::LINUX_PULSE ? "no sound server answered"
                                                              : "no output device");
        }
        if (device->info.outputChannels == 0) {
            throw AudioStartError("the default device \"" + device->info.name +
                                  "\" has no output channels");
        }
        // One mono mix goes to every channel: two are plenty, the server spreads them.
        const unsigned channels = std::min(device->info.outputChannels, 2U);
        RtAudio::StreamParameters parameters;
        parameters.deviceId = device->id;
        parameters.nChannels = channels;
        RtAudio::StreamOptions options;
        options.numberOfBuffers = outputBufferCount;
        options.streamName = "Tunescrib";
        unsigned frames = outputBufferFrames;
        audio->openStream(&parameters, nullptr, RTAUDIO_FLOAT32,
                          static_cast<unsigned>(formatOf(device->info).sampleRate), &frames,
                          &RtAudioStreamBackend::onAudio, this, &options, &onRtAudioError);
        if (!text.empty()) {
            throw AudioStartError(text);
        }
        opened =
            OpenedStream{AudioFormat{static_cast<double>(audio->getStreamSampleRate()), channels},
                         apiName(api), frames};
    }

    static void onRtAudioError(RtAudioError::Type type, const std::string& text) {
        const ErrorRoute route = errorRoute;
        if (route.text != nullptr) {
            if (type != RtAudioError::WARNING && type != RtAudioError::DEBUG_WARNING &&
                route.text->empty()) {
                *route.text = text;
            }
        } else if (route.stream != nullptr) {
            route.stream->onError(type);
        }
    }

    // Stream thread, for every block.
    static int onAudio(void* output, void*, unsigned frames, double, RtAudioStreamStatus status,
                       void* user) {
        auto& self = *static_cast<RtAudioStreamBackend*>(user);
        if (errorRoute.stream != &self) {
            errorRoute = ErrorRoute{&self, nullptr};
            self.noteStreamThread();
        }
        if (std::exchange(self.warningPending, false) && (status & RTAUDIO_OUTPUT_UNDERFLOW) == 0) {
            self.fail();
        }
        if (!self.gate.waitWhilePaused()) {
            return 2;
        }
        const bool goOn = self.client->onBlock(static_cast<float*>(output), frames,
                                               (status & RTAUDIO_OUTPUT_UNDERFLOW) != 0);
        // 2 aborts the stream without writing: a dead server is not written to in a loop.
        return goOn ? 0 : 2;
    }

    std::unique_ptr<RtAudio> audio;
    StreamClient* client = nullptr;
    OpenedStream opened;
    PullGate gate;
    bool warningPending = false; // stream thread only
    std::atomic<bool> failed{false};
    AudioReport report;
    // What deviceFormat() learnt of the server, for the open() that follows it.
    std::optional<ApiPlan> plan;
    bool serverSilent = false;
    std::set<pid_t> threadsBeforeOpen;
    std::mutex threadLock;
    std::condition_variable threadKnown;
    pid_t streamThread = 0; // guarded by threadLock
};

} // namespace

std::unique_ptr<AudioStreamBackend> makeRtAudioBackend(AudioReport report) {
    return std::make_unique<RtAudioStreamBackend>(std::move(report));
}

} // namespace tunescrib
