#include "platform/pulse_stream_backend.h"

#include "platform/realtime_scheduling.h"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/introspect.h>
#include <pulse/rtclock.h>
#include <pulse/sample.h>
#include <pulse/stream.h>
#include <pulse/thread-mainloop.h>
#include <pulse/timeval.h>

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>

namespace tunescrib {

namespace {

using std::chrono::microseconds;
using std::chrono::milliseconds;

// How long connecting, and then opening the stream, may wait for the server.
constexpr milliseconds serverAnswerLimit{1500};
// The stream's whole latency as the server counts it: its own queue plus the sink's
// buffer, which the server sizes from it. Small enough for a key to sound within 10 ms
// (bench/key_latency.py), and enough for a real-time client on a busy machine as long as
// the server keeps up: its main thread, which relays requests and blocks, runs at normal
// priority, and when busy processes delay it no client buffer short of tens of
// milliseconds hides that (bench/dropouts.py --realtime-server shows the difference).
// Hence the growth on an underrun rather than a large buffer for every key.
constexpr microseconds initialTarget{8000};
constexpr microseconds largestTarget{40000};
// How much the server lets the queue run down before it asks for more.
constexpr microseconds requestSize{2000};
// How long a resumed stream waits for the server to ask for a whole target.
constexpr milliseconds refillLimit{20};
// An underrun-free spell after which a grown buffer is halved again.
constexpr std::chrono::seconds calmSpell{30};
// How long after its sink woke an underrun is the sink's, not a late block's.
constexpr pa_usec_t sinkWakeGrace = 200 * PA_USEC_PER_MSEC;
constexpr unsigned largestBlockFrames = 256;
// That of the server's own real-time threads: as prompt as the server that waits on it.
constexpr int eventThreadPriority = 5;

class LoopLock {
public:
    explicit LoopLock(pa_threaded_mainloop* loop) : loop(loop) { pa_threaded_mainloop_lock(loop); }
    ~LoopLock() { pa_threaded_mainloop_unlock(loop); }
    LoopLock(const LoopLock&) = delete;
    LoopLock& operator=(const LoopLock&) = delete;

private:
    pa_threaded_mainloop* loop;
};

void forget(pa_operation* operation) {
    if (operation != nullptr) {
        pa_operation_unref(operation);
    }
}

std::string inMilliseconds(microseconds time) {
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "%.1f ms", static_cast<double>(time.count()) / 1000.0);
    return text.data();
}

// Members marked "loop" are touched only by libpulse's event thread or under its lock.
class PulseStreamBackend final : public AudioStreamBackend {
public:
    explicit PulseStreamBackend(AudioReport report) : report(std::move(report)) {}
    ~PulseStreamBackend() override { close(); }
    PulseStreamBackend(const PulseStreamBackend&) = delete;
    PulseStreamBackend& operator=(const PulseStreamBackend&) = delete;

    AudioFormat deviceFormat() override {
        if (!loop && failure.empty()) {
            connect();
        }
        return failure.empty() ? sink : AudioFormat{};
    }

    OpenedStream open(StreamClient& streamClient) override {
        client = &streamClient;
        if (!loop && failure.empty()) {
            connect();
        }
        if (!failure.empty()) {
            throw AudioStartError("PulseAudio: " + failure);
        }
        LoopLock lock(loop);
        openStream();
        return opened;
    }

    void start() override {
        if (const pid_t thread = loopThread.load(); thread != 0) {
            say("audio thread: " + makeThreadRealtime(thread, eventThreadPriority).how);
        }
        {
            LoopLock lock(loop);
            pulling = true;
        }
        // The client is called on the event thread only, the first block too.
        signalLoop();
    }

    [[nodiscard]] bool isServerSilent() const override { return silent; }

    void pause() override {
        pauseWanted.store(true, std::memory_order_release);
        signalLoop();
    }

    void resume() override {
        pauseWanted.store(false, std::memory_order_release);
        signalLoop();
    }

    void close() override {
        if (!loop) {
            closeWakeFd();
            return;
        }
        {
            LoopLock lock(loop);
            pulling = false;
            if (stream) {
                pa_stream_set_state_callback(stream, nullptr, nullptr);
                pa_stream_set_write_callback(stream, nullptr, nullptr);
                pa_stream_set_underflow_callback(stream, nullptr, nullptr);
                pa_stream_set_suspended_callback(stream, nullptr, nullptr);
                pa_stream_disconnect(stream);
                pa_stream_unref(stream);
                stream = nullptr;
            }
            for (pa_time_event** timer : {&calmTimer, &refillTimer}) {
                if (*timer) {
                    api->time_free(*timer);
                    *timer = nullptr;
                }
            }
            if (wakeEvent) {
                api->io_free(wakeEvent);
                wakeEvent = nullptr;
            }
            if (context) {
                pa_context_set_state_callback(context, nullptr, nullptr);
                pa_context_disconnect(context);
                pa_context_unref(context);
                context = nullptr;
            }
        }
        // The event thread only ever waits in poll(), so it stops even when the server froze.
        pa_threaded_mainloop_stop(loop);
        pa_threaded_mainloop_free(loop);
        loop = nullptr;
        closeWakeFd();
    }

private:
    void closeWakeFd() {
        if (wakeFd >= 0) {
            ::close(wakeFd);
            wakeFd = -1;
        }
    }

    // Main thread. Connects and reads the default sink's format; on any trouble leaves
    // `failure` saying why and nothing connected.
    void connect() {
        loop = pa_threaded_mainloop_new();
        wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (!loop || wakeFd < 0) {
            failure = "cannot set up its event loop";
            close();
            return;
        }
        api = pa_threaded_mainloop_get_api(loop);
        wakeEvent = api->io_new(api, wakeFd, PA_IO_EVENT_INPUT, &PulseStreamBackend::onWake, this);
        context = pa_context_new(api, "Tunescrib");
        pa_context_set_state_callback(context, &PulseStreamBackend::onContextState, this);
        if (pa_context_connect(context, nullptr, PA_CONTEXT_NOFLAGS, nullptr) < 0 ||
            pa_threaded_mainloop_start(loop) < 0) {
            failure = pa_strerror(pa_context_errno(context));
        } else {
            LoopLock lock(loop);
            failure = askDefaultSink();
        }
        if (!failure.empty()) {
            close();
        }
    }

    // Loop lock held. The default sink's format, or why there is none.
    std::string askDefaultSink() {
        const auto deadline = std::chrono::steady_clock::now() + serverAnswerLimit;
        const auto contextSettled = [this] {
            const pa_context_state_t state = pa_context_get_state(context);
            return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
        };
        if (!await(contextSettled, deadline)) {
            return silentServer();
        }
        if (pa_context_get_state(context) != PA_CONTEXT_READY) {
            return pa_strerror(pa_context_errno(context));
        }
        forget(pa_context_get_server_info(context, &PulseStreamBackend::onServerInfo, this));
        if (!await([this] { return answered; }, deadline)) {
            return silentServer();
        }
        if (sinkName.empty()) {
            return "the sound server has no output device (no default sink)";
        }
        answered = false;
        forget(pa_context_get_sink_info_by_name(context, sinkName.c_str(),
                                                &PulseStreamBackend::onSinkInfo, this));
        if (!await([this] { return answered; }, deadline)) {
            return silentServer();
        }
        if (sink.channelCount == 0 || sink.sampleRate <= 0) {
            return "the default sink \"" + sinkName + "\" could not be described";
        }
        return {};
    }

    // Main thread: why the server failed, and that it did by keeping silent.
    std::string silentServer() {
        silent = true;
        return "the sound server did not answer within " +
               std::to_string(serverAnswerLimit.count()) + " ms";
    }

    // Loop lock held. Opens the stream corked; start() uncorks it. Throws AudioStartError.
    void openStream() {
        const auto channels = static_cast<std::uint8_t>(std::min(sink.channelCount, 2U));
        const pa_sample_spec spec{PA_SAMPLE_FLOAT32NE, static_cast<std::uint32_t>(sink.sampleRate),
                                  channels};
        pa_channel_map map;
        pa_channel_map_init_extend(&map, channels, PA_CHANNEL_MAP_DEFAULT);
        stream = pa_stream_new(context, "Tunescrib", &spec, &map);
        if (!stream) {
            throw AudioStartError("PulseAudio: " +
                                  std::string(pa_strerror(pa_context_errno(context))));
        }
        frameBytes = pa_frame_size(&spec);
        pa_stream_set_state_callback(stream, &PulseStreamBackend::onStreamState, this);
        pa_stream_set_write_callback(stream, &PulseStreamBackend::onWrite, this);
        pa_stream_set_underflow_callback(stream, &PulseStreamBackend::onUnderflow, this);
        pa_stream_set_suspended_callback(stream, &PulseStreamBackend::onSuspended, this);
        const pa_buffer_attr wanted = attributesFor(initialTarget, spec);
        const auto flags =
            static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_START_CORKED);
        if (pa_stream_connect_playback(stream, nullptr, &wanted, flags, nullptr, nullptr) < 0) {
            throw AudioStartError("PulseAudio: " +
                                  std::string(pa_strerror(pa_context_errno(context))));
        }
        const auto streamSettled = [this] {
            const pa_stream_state_t state = pa_stream_get_state(stream);
            return state == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state);
        };
        if (!await(streamSettled, std::chrono::steady_clock::now() + serverAnswerLimit)) {
            throw AudioStartError("PulseAudio: " + silentServer());
        }
        if (pa_stream_get_state(stream) != PA_STREAM_READY) {
            throw AudioStartError("PulseAudio: " +
                                  std::string(pa_strerror(pa_context_errno(context))));
        }
        target = initialTarget;
        const pa_buffer_attr* granted = pa_stream_get_buffer_attr(stream);
        const auto requestFrames = static_cast<unsigned>(granted->minreq / frameBytes);
        opened = OpenedStream{AudioFormat{sink.sampleRate, channels}, "PulseAudio",
                              std::min(requestFrames, largestBlockFrames)};
        say("PulseAudio stream on \"" + sinkName + "\": " + std::to_string(spec.rate) + " Hz, " +
            std::to_string(channels) + " channels, " + describe(*granted));
    }

    [[nodiscard]] static pa_buffer_attr attributesFor(microseconds latency,
                                                      const pa_sample_spec& spec) {
        pa_buffer_attr attributes{};
        attributes.maxlength = static_cast<std::uint32_t>(-1);
        attributes.tlength = static_cast<std::uint32_t>(
            pa_usec_to_bytes(static_cast<pa_usec_t>(latency.count()), &spec));
        // The same as the target: after a flush or an underrun the server waits for a full
        // buffer, so the sound that follows has the whole margin again.
        attributes.prebuf = static_cast<std::uint32_t>(-1);
        attributes.minreq = static_cast<std::uint32_t>(
            pa_usec_to_bytes(static_cast<pa_usec_t>(requestSize.count()), &spec));
        attributes.fragsize = static_cast<std::uint32_t>(-1);
        return attributes;
    }

    [[nodiscard]] std::string describe(const pa_buffer_attr& granted) const {
        const pa_sample_spec* spec = pa_stream_get_sample_spec(stream);
        const auto span = [spec](std::uint32_t bytes) {
            return inMilliseconds(microseconds(pa_bytes_to_usec(bytes, spec)));
        };
        return "target " + span(granted.tlength) + ", request " + span(granted.minreq) +
               ", prebuffer " + span(granted.prebuf);
    }

    // Loop lock held. Waits for `done` until `deadline`; false when the time ran out first.
    template <typename Done> bool await(Done done, std::chrono::steady_clock::time_point deadline) {
        struct Alarm {
            pa_threaded_mainloop* loop = nullptr;
            bool rang = false;
        } alarm{loop};
        const auto left =
            std::chrono::duration_cast<microseconds>(deadline - std::chrono::steady_clock::now());
        pa_time_event* timer = pa_context_rttime_new(
            context,
            pa_rtclock_now() + static_cast<pa_usec_t>(std::max<std::int64_t>(left.count(), 0)),
            [](pa_mainloop_api*, pa_time_event*, const timeval*, void* user) {
                auto& alarm = *static_cast<Alarm*>(user);
                alarm.rang = true;
                pa_threaded_mainloop_signal(alarm.loop, 0);
            },
            &alarm);
        while (!done() && !alarm.rang) {
            pa_threaded_mainloop_wait(loop);
        }
        api->time_free(timer);
        return done();
    }

    void say(const std::string& line) const {
        if (report) {
            report(line);
        }
    }

    // Any thread, without a lock: the event thread picks up the wanted state.
    void signalLoop() const {
        const std::uint64_t one = 1;
        // A full counter already wakes the loop, so a failed write loses nothing.
        [[maybe_unused]] const auto written = ::write(wakeFd, &one, sizeof one);
    }

    // Event thread. Brings the stream to the latest state pause() and resume() asked for.
    void applyWantedState() {
        if (!pulling || !stream) {
            return;
        }
        if (pauseWanted.load(std::memory_order_acquire)) {
            refilling = false;
            if (!corked) {
                forget(pa_stream_cork(stream, 1, nullptr, nullptr));
                corked = true;
            }
            return;
        }
        if (corked && !refilling) {
            // What waited in the queue when the stream was corked would play before the
            // next block, which carries the note: drop it, and uncork only once the server
            // holds a whole target again, so that a sink waking for us cannot drain it at
            // once. Should the server ask for less than that, a timer uncorks all the same.
            forget(pa_stream_flush(stream, nullptr, nullptr));
            refilling = true;
            refilled = 0;
            armTimer(refillTimer, refillLimit, &PulseStreamBackend::onRefillLate);
        }
        fill();
    }

    // Event thread. Fills what the server asked for, block by block.
    void fill() {
        if (!pulling || pauseWanted.load(std::memory_order_acquire) || (corked && !refilling)) {
            return;
        }
        std::size_t writable = pa_stream_writable_size(stream);
        while (writable >= frameBytes && !pauseWanted.load(std::memory_order_acquire)) {
            std::size_t bytes = std::min<std::size_t>(writable, largestBlockFrames * frameBytes);
            void* data = nullptr;
            if (pa_stream_begin_write(stream, &data, &bytes) < 0 || data == nullptr) {
                return;
            }
            const auto frames = static_cast<unsigned>(bytes / frameBytes);
            if (frames == 0) {
                pa_stream_cancel_write(stream);
                return;
            }
            bytes = std::size_t{frames} * frameBytes;
            if (!client->onBlock(static_cast<float*>(data), frames,
                                 std::exchange(underflowed, false))) {
                pa_stream_cancel_write(stream);
                pulling = false;
                forget(pa_stream_cork(stream, 1, nullptr, nullptr));
                corked = true;
                return;
            }
            if (pa_stream_write(stream, data, bytes, nullptr, 0, PA_SEEK_RELATIVE) < 0) {
                return;
            }
            writable -= bytes;
            refilled += bytes;
            const auto* samples = static_cast<const float*>(data);
            sounding = std::any_of(samples, samples + bytes / sizeof(float),
                                   [](float sample) { return sample != 0.0F; });
        }
        if (refilling && refilled >= pa_stream_get_buffer_attr(stream)->tlength) {
            uncork();
        }
    }

    void uncork() {
        forget(pa_stream_cork(stream, 0, nullptr, nullptr));
        corked = false;
        refilling = false;
    }

    // Event thread. A late block: give the server more margin, up to a limit.
    void grow() {
        if (target < largestTarget) {
            setTarget(std::min(target * 2, largestTarget), "grown after an underrun");
        }
        armTimer(calmTimer, calmSpell, &PulseStreamBackend::onCalm);
    }

    // (Re)starts a one-shot timer of the event thread.
    void armTimer(pa_time_event*& timer, microseconds delay, pa_time_event_cb_t callback) {
        const auto when = pa_rtclock_now() + static_cast<pa_usec_t>(delay.count());
        if (timer) {
            pa_context_rttime_restart(context, timer, when);
        } else {
            timer = pa_context_rttime_new(context, when, callback, this);
        }
    }

    void setTarget(microseconds latency, const char* why) {
        target = latency;
        const pa_buffer_attr wanted = attributesFor(target, *pa_stream_get_sample_spec(stream));
        forget(pa_stream_set_buffer_attr(stream, &wanted, nullptr, nullptr));
        say("PulseAudio buffer " + std::string(why) + ": target " + inMilliseconds(target));
    }

    void fail() {
        if (!failed.exchange(true)) {
            client->onStreamFailed();
        }
    }

    static void onWake(pa_mainloop_api*, pa_io_event*, int fd, pa_io_event_flags_t, void* user) {
        std::uint64_t count = 0;
        // Read before looking at the wanted state, so that a later signal wakes us again.
        [[maybe_unused]] const auto read = ::read(fd, &count, sizeof count);
        static_cast<PulseStreamBackend*>(user)->applyWantedState();
    }

    static void onContextState(pa_context* context, void* user) {
        auto& self = *static_cast<PulseStreamBackend*>(user);
        self.loopThread.store(gettid());
        if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context)) && self.opened.format.channelCount) {
            self.fail();
        }
        pa_threaded_mainloop_signal(self.loop, 0);
    }

    static void onStreamState(pa_stream* stream, void* user) {
        auto& self = *static_cast<PulseStreamBackend*>(user);
        if (!PA_STREAM_IS_GOOD(pa_stream_get_state(stream)) && self.opened.format.channelCount) {
            self.fail();
        }
        pa_threaded_mainloop_signal(self.loop, 0);
    }

    static void onServerInfo(pa_context*, const pa_server_info* info, void* user) {
        auto& self = *static_cast<PulseStreamBackend*>(user);
        if (info != nullptr && info->default_sink_name != nullptr) {
            self.sinkName = info->default_sink_name;
        }
        self.answered = true;
        pa_threaded_mainloop_signal(self.loop, 0);
    }

    static void onSinkInfo(pa_context*, const pa_sink_info* info, int eol, void* user) {
        auto& self = *static_cast<PulseStreamBackend*>(user);
        if (info != nullptr) {
            self.sink = AudioFormat{static_cast<double>(info->sample_spec.rate),
                                    info->sample_spec.channels};
        }
        if (eol != 0 || info == nullptr) {
            self.answered = true;
            pa_threaded_mainloop_signal(self.loop, 0);
        }
    }

    static void onWrite(pa_stream*, std::size_t, void* user) {
        static_cast<PulseStreamBackend*>(user)->fill();
    }

    static void onUnderflow(pa_stream*, void* user) {
        auto& self = *static_cast<PulseStreamBackend*>(user);
        self.underflowed = true;
        // Silence that ran dry lost nothing, and a sink that slept or was just woken ran dry
        // through no lateness of ours: neither is worth the latency of a larger buffer.
        if (self.sounding && self.sinkWokeAt != PA_USEC_INVALID &&
            pa_rtclock_now() - self.sinkWokeAt > sinkWakeGrace) {
            self.grow();
        }
    }

    static void onSuspended(pa_stream* stream, void* user) {
        auto& self = *static_cast<PulseStreamBackend*>(user);
        self.sinkWokeAt = pa_stream_is_suspended(stream) == 1 ? PA_USEC_INVALID : pa_rtclock_now();
    }

    static void onRefillLate(pa_mainloop_api*, pa_time_event*, const timeval*, void* user) {
        auto& self = *static_cast<PulseStreamBackend*>(user);
        if (self.refilling) {
            self.uncork();
        }
    }

    static void onCalm(pa_mainloop_api*, pa_time_event*, const timeval*, void* user) {
        auto& self = *static_cast<PulseStreamBackend*>(user);
        if (self.target > initialTarget) {
            self.setTarget(std::max(self.target / 2, initialTarget), "shrunk after a calm spell");
            self.armTimer(self.calmTimer, calmSpell, &PulseStreamBackend::onCalm);
        }
    }

    AudioReport report;
    std::string failure; // why the server cannot be played to; main thread
    bool silent = false; // main thread: the server took the connection but did not answer
    pa_threaded_mainloop* loop = nullptr;
    pa_mainloop_api* api = nullptr;
    pa_context* context = nullptr;
    pa_stream* stream = nullptr;
    int wakeFd = -1;
    pa_io_event* wakeEvent = nullptr;
    pa_time_event* calmTimer = nullptr;   // loop
    pa_time_event* refillTimer = nullptr; // loop
    std::atomic<pid_t> loopThread{0};
    bool answered = false; // loop
    std::string sinkName;  // loop
    AudioFormat sink;      // loop
    StreamClient* client = nullptr;
    OpenedStream opened;
    std::size_t frameBytes = 0;
    microseconds target = initialTarget; // loop
    std::atomic<bool> pauseWanted{false};
    std::atomic<bool> failed{false};
    bool pulling = false;     // loop: started, and the client has not asked to stop
    bool corked = true;       // loop: as last told to the server
    bool refilling = false;   // loop: flushed for a resume, uncorked once refilled
    std::size_t refilled = 0; // loop: bytes written since that flush
    bool underflowed = false; // loop
    bool sounding = false;    // loop: the last block written held sound
    pa_usec_t sinkWokeAt = 0; // loop: PA_USEC_INVALID while the sink is suspended
};

} // namespace

std::unique_ptr<AudioStreamBackend> makePulseBackend(AudioReport report) {
    return std::make_unique<PulseStreamBackend>(std::move(report));
}

} // namespace tunescrib
