#include "platform/pipewire_stream_backend.h"

#include "platform/realtime_scheduling.h"

#include <pipewire/pipewire.h>
#include <spa/param/audio/format-utils.h>

#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <utility>

// PipeWire's method calls are macros made of statement expressions, a GNU extension.
#if defined(__clang__)
#pragma clang diagnostic ignored "-Wgnu-statement-expression"
#endif

namespace tunescrib {

namespace {

// How long the daemon may take to answer at all: one that accepted the connection and then
// froze must not freeze the caller.
constexpr std::chrono::nanoseconds answerLimit = std::chrono::milliseconds(1500);
// How long start() waits for the data thread's first block, which says what it got.
constexpr std::chrono::milliseconds firstBlockLimit{500};
// The node latency asked of the graph, in frames at its rate: with nothing else playing,
// the graph then runs at this quantum, and a key waits at most about one of them.
constexpr unsigned latencyFrames = 256;
// The most frames one onBlock call is given.
constexpr unsigned blockFrames = 256;
// The loop thread only relays a wake to the daemon, but a key waits for it: real-time like
// the other backends' event threads, well below the data thread.
constexpr int loopThreadPriority = 5;
// One mono mix goes to both: the sink spreads two channels to whatever it has.
constexpr unsigned channels = 2;
// The rate when the daemon does not say what its graph runs at.
constexpr double fallbackRate = 48000.0;

void initPipeWire() {
    static std::once_flag once;
    std::call_once(once, [] { pw_init(nullptr, nullptr); });
}

std::string schedulingOf(int policy, int priority) {
    switch (policy & ~SCHED_RESET_ON_FORK) {
    case SCHED_FIFO:
        return "real-time (SCHED_FIFO) priority " + std::to_string(priority);
    case SCHED_RR:
        return "real-time (SCHED_RR) priority " + std::to_string(priority);
    default:
        return "normal priority";
    }
}

class PipeWireStreamBackend final : public AudioStreamBackend {
public:
    explicit PipeWireStreamBackend(AudioReport report) : report(std::move(report)) {}
    ~PipeWireStreamBackend() override { close(); }
    PipeWireStreamBackend(const PipeWireStreamBackend&) = delete;
    PipeWireStreamBackend& operator=(const PipeWireStreamBackend&) = delete;

    AudioFormat deviceFormat() override {
        if (!connect() || sinks == 0) {
            return AudioFormat{};
        }
        return AudioFormat{rate, channels};
    }

    OpenedStream open(StreamClient& streamClient) override {
        if (!connect()) {
            throw AudioStartError("PipeWire: " + failure);
        }
        if (sinks == 0) {
            throw AudioStartError("PipeWire: no sink to play on");
        }
        pw_thread_loop_lock(loop);
        // Under the lock: a daemon lost from now on fails the stream through the client, one
        // lost before fails the open.
        client = &streamClient;
        const bool lost = coreFailed;
        const int result = lost ? 0 : connectStream();
        pw_thread_loop_unlock(loop);
        if (lost) {
            throw AudioStartError("PipeWire: the daemon went away");
        }
        if (result < 0) {
            throw AudioStartError(std::string("PipeWire: cannot connect a stream: ") +
                                  std::strerror(-result));
        }
        return OpenedStream{AudioFormat{rate, channels}, "PipeWire", blockFrames};
    }

    void start() override {
        resume();
        std::unique_lock guard(threadLock);
        if (!threadKnown.wait_for(guard, firstBlockLimit, [this] { return dataThread != 0; })) {
            say("PipeWire data thread: no block within " + std::to_string(firstBlockLimit.count()) +
                " ms of the start");
            return;
        }
        say("PipeWire data thread: " + schedulingOf(dataPolicy, dataPriority));
        say("PipeWire loop thread: " + makeThreadRealtime(loopThread, loopThreadPriority).how);
    }

    [[nodiscard]] bool isServerSilent() const override { return silent; }
    void pause() override { want(false); }
    void resume() override { want(true); }

    void close() override {
        if (loop == nullptr) {
            return;
        }
        pw_thread_loop_lock(loop);
        closing = true;
        if (stream != nullptr) {
            // Takes the stream out of the data thread: no block is pulled after this.
            pw_stream_destroy(stream);
            stream = nullptr;
        }
        if (wantChanged != nullptr) {
            pw_loop_destroy_source(pw_thread_loop_get_loop(loop), wantChanged);
            wantChanged = nullptr;
        }
        forgetRegistry();
        if (core != nullptr) {
            spa_hook_remove(&coreListener);
            pw_core_disconnect(core);
            core = nullptr;
        }
        pw_thread_loop_unlock(loop);
        pw_thread_loop_stop(loop);
        if (context != nullptr) {
            pw_context_destroy(context);
            context = nullptr;
        }
        pw_thread_loop_destroy(loop);
        loop = nullptr;
    }

private:
    // Main thread. Connects once and waits (within answerLimit) for the daemon's answer,
    // which brings its clock rate and its sinks. False, with `failure` said, when no daemon
    // answered.
    bool connect() {
        if (connected) {
            return *connected;
        }
        connected = false;
        initPipeWire();
        loop = pw_thread_loop_new("tunescrib-pw", nullptr);
        if (loop == nullptr) {
            failure = std::string("cannot make a loop: ") + std::strerror(errno);
            return false;
        }
        // The configuration that loads the real-time module: it gives the data thread the
        // scheduling PipeWire's own clients get.
        context =
            pw_context_new(pw_thread_loop_get_loop(loop),
                           pw_properties_new(PW_KEY_CONFIG_NAME, "client-rt.conf", nullptr), 0);
        if (context == nullptr || pw_thread_loop_start(loop) < 0) {
            failure = std::string("cannot start: ") + std::strerror(errno);
            return false;
        }
        pw_thread_loop_lock(loop);
        const bool answered = awaitDaemon();
        forgetRegistry();
        rate = announcedRate;
        sinks = announcedSinks;
        loopThread = announcedLoopThread;
        pw_thread_loop_unlock(loop);
        connected = answered;
        return answered;
    }

    // Thread loop locked.
    bool awaitDaemon() {
        core = pw_context_connect(context, nullptr, 0);
        if (core == nullptr) {
            failure = std::string("no daemon answered: ") + std::strerror(errno);
            return false;
        }
        pw_core_add_listener(core, &coreListener, &coreEvents, this);
        registry = pw_core_get_registry(core, PW_VERSION_REGISTRY, 0);
        pw_registry_add_listener(registry, &registryListener, &registryEvents, this);
        syncSeq = pw_core_sync(core, PW_ID_CORE, 0);
        timespec deadline{};
        pw_thread_loop_get_time(loop, &deadline, answerLimit.count());
        while (!synced && !coreFailed) {
            if (pw_thread_loop_timed_wait_full(loop, &deadline) == -ETIMEDOUT) {
                silent = true;
                failure = "the daemon did not answer within " +
                          std::to_string(answerLimit.count() / 1000000) + " ms";
                return false;
            }
        }
        return synced && !coreFailed;
    }

    // Thread loop locked.
    void forgetRegistry() {
        if (registry != nullptr) {
            spa_hook_remove(&registryListener);
            pw_proxy_destroy(reinterpret_cast<pw_proxy*>(registry));
            registry = nullptr;
        }
    }

    // Thread loop locked. The stream starts inactive: start() activates it.
    int connectStream() {
        std::array<char, 16> latency{};
        std::snprintf(latency.data(), latency.size(), "%u/%u", latencyFrames,
                      static_cast<unsigned>(rate));
        pw_properties* properties = pw_properties_new(
            PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY, "Playback", PW_KEY_MEDIA_ROLE,
            "Music", PW_KEY_APP_NAME, "Tunescrib", PW_KEY_NODE_NAME, "Tunescrib",
            PW_KEY_NODE_LATENCY, latency.data(), nullptr);
        stream = pw_stream_new(core, "Tunescrib", properties);
        if (stream == nullptr) {
            return -errno;
        }
        pw_stream_add_listener(stream, &streamListener, &streamEvents, this);
        wantChanged = pw_loop_add_event(pw_thread_loop_get_loop(loop), &onWantChanged, this);

        std::array<std::uint8_t, 512> podMemory{};
        spa_pod_builder builder{};
        spa_pod_builder_init(&builder, podMemory.data(), podMemory.size());
        spa_audio_info_raw info{};
        info.format = SPA_AUDIO_FORMAT_F32;
        info.rate = static_cast<std::uint32_t>(rate);
        info.channels = channels;
        info.position[0] = SPA_AUDIO_CHANNEL_FL;
        info.position[1] = SPA_AUDIO_CHANNEL_FR;
        std::array<const spa_pod*, 1> params{
            spa_format_audio_raw_build(&builder, SPA_PARAM_EnumFormat, &info)};
        const auto flags =
            static_cast<pw_stream_flags>(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS |
                                         PW_STREAM_FLAG_RT_PROCESS | PW_STREAM_FLAG_INACTIVE);
        return pw_stream_connect(stream, PW_DIRECTION_OUTPUT, PW_ID_ANY, flags, params.data(),
                                 params.size());
    }

    // Any thread, also the data thread within onBlock: takes no lock. The loop's own thread
    // applies the latest wish, so the later of two calls holds.
    void want(bool active) {
        wantActive.store(active, std::memory_order_release);
        if (wantChanged != nullptr) {
            pw_loop_signal_event(pw_thread_loop_get_loop(loop), wantChanged);
        }
    }

    void say(const std::string& line) const {
        if (report) {
            report(line);
        }
    }

    // Loop thread.
    void fail() {
        if (!failed.exchange(true) && client != nullptr) {
            client->onStreamFailed();
        }
    }

    // Data thread, first block only: the one lock it ever takes.
    void noteDataThread() {
        // From the kernel: the real-time module sets it by thread id, behind the back of
        // what pthread_getschedparam remembers.
        sched_param parameter{};
        const int policy = sched_getscheduler(0);
        sched_getparam(0, &parameter);
        std::lock_guard guard(threadLock);
        dataPolicy = policy;
        dataPriority = parameter.sched_priority;
        dataThread = gettid();
        threadKnown.notify_all();
    }

    // Data thread: fills what the graph asks for, in blocks of at most blockFrames.
    void process() {
        if (!dataThreadNoted) {
            dataThreadNoted = true;
            noteDataThread();
        }
        pw_buffer* buffer = pw_stream_dequeue_buffer(stream);
        if (buffer == nullptr) {
            return;
        }
        spa_data& data = buffer->buffer->datas[0];
        const std::uint32_t stride = sizeof(float) * channels;
        std::uint32_t frames = 0;
        if (data.data != nullptr) {
            const std::uint64_t asked = buffer->requested != 0 ? buffer->requested : latencyFrames;
            frames =
                static_cast<std::uint32_t>(std::min<std::uint64_t>(asked, data.maxsize / stride));
        }
        auto* samples = static_cast<float*>(data.data);
        for (std::uint32_t done = 0; done < frames;) {
            const std::uint32_t count = std::min(blockFrames, frames - done);
            float* block = samples + std::size_t{done} * channels;
            if (pulling && !client->onBlock(block, count, false)) {
                // The client wants no more blocks: this one and the rest stay silent.
                pulling = false;
                want(false);
            }
            if (!pulling) {
                std::fill_n(block, std::size_t{count} * channels, 0.0F);
            }
            done += count;
        }
        if (data.chunk != nullptr) {
            data.chunk->offset = 0;
            data.chunk->stride = static_cast<std::int32_t>(stride);
            data.chunk->size = frames * stride;
        }
        pw_stream_queue_buffer(stream, buffer);
    }

    static void onProcess(void* self) { static_cast<PipeWireStreamBackend*>(self)->process(); }

    // Loop thread.
    static void onWantChanged(void* data, std::uint64_t) {
        auto& self = *static_cast<PipeWireStreamBackend*>(data);
        if (self.stream != nullptr) {
            pw_stream_set_active(self.stream, self.wantActive.load(std::memory_order_acquire));
        }
    }

    static void onStreamState(void* data, pw_stream_state, pw_stream_state state, const char*) {
        auto& self = *static_cast<PipeWireStreamBackend*>(data);
        if (state == PW_STREAM_STATE_ERROR ||
            (state == PW_STREAM_STATE_UNCONNECTED && !self.closing)) {
            self.fail();
        }
    }

    static void onCoreInfo(void* data, const pw_core_info* info) {
        auto& self = *static_cast<PipeWireStreamBackend*>(data);
        if (info->props == nullptr) {
            return;
        }
        if (const char* clockRate = spa_dict_lookup(info->props, "default.clock.rate")) {
            const double parsed = std::strtod(clockRate, nullptr);
            self.announcedRate = parsed > 0 ? parsed : fallbackRate;
        }
    }

    static void onCoreDone(void* data, std::uint32_t id, int seq) {
        auto& self = *static_cast<PipeWireStreamBackend*>(data);
        if (id == PW_ID_CORE && seq == self.syncSeq) {
            self.synced = true;
            self.announcedLoopThread = gettid();
            pw_thread_loop_signal(self.loop, false);
        }
    }

    // An error of the core itself means the connection is lost; the stream's own errors
    // come through its state.
    static void onCoreError(void* data, std::uint32_t id, int, int result, const char* message) {
        auto& self = *static_cast<PipeWireStreamBackend*>(data);
        if (id != PW_ID_CORE) {
            return;
        }
        if (!self.synced) {
            self.failure = std::string(message != nullptr ? message : "") + " (" +
                           std::strerror(-result) + ")";
        }
        self.coreFailed = true;
        self.fail();
        pw_thread_loop_signal(self.loop, false);
    }

    static void onGlobal(void* data, std::uint32_t, std::uint32_t, const char* type, std::uint32_t,
                         const spa_dict* props) {
        auto& self = *static_cast<PipeWireStreamBackend*>(data);
        if (props == nullptr || std::strcmp(type, PW_TYPE_INTERFACE_Node) != 0) {
            return;
        }
        const char* mediaClass = spa_dict_lookup(props, PW_KEY_MEDIA_CLASS);
        if (mediaClass != nullptr && std::strcmp(mediaClass, "Audio/Sink") == 0) {
            ++self.announcedSinks;
        }
    }

    static constexpr pw_core_events coreEvents = [] {
        pw_core_events events{};
        events.version = PW_VERSION_CORE_EVENTS;
        events.info = &onCoreInfo;
        events.done = &onCoreDone;
        events.error = &onCoreError;
        return events;
    }();
    static constexpr pw_registry_events registryEvents = [] {
        pw_registry_events events{};
        events.version = PW_VERSION_REGISTRY_EVENTS;
        events.global = &onGlobal;
        return events;
    }();
    static constexpr pw_stream_events streamEvents = [] {
        pw_stream_events events{};
        events.version = PW_VERSION_STREAM_EVENTS;
        events.state_changed = &onStreamState;
        events.process = &onProcess;
        return events;
    }();

    AudioReport report;
    StreamClient* client = nullptr;
    std::optional<bool> connected; // main thread: whether connect() reached a daemon
    std::string failure;           // why not, for the user
    bool silent = false;           // main thread: the daemon took the connection, no answer
    std::atomic<bool> failed{false};
    std::atomic<bool> wantActive{false};
    bool closing = false; // written by the main thread with the loop locked

    // Made and destroyed by the main thread; used with the thread loop locked.
    pw_thread_loop* loop = nullptr;
    pw_context* context = nullptr;
    pw_core* core = nullptr;
    pw_registry* registry = nullptr;
    pw_stream* stream = nullptr;
    spa_source* wantChanged = nullptr;
    spa_hook coreListener{};
    spa_hook registryListener{};
    spa_hook streamListener{};

    // What connect() learnt: the graph's rate, how many sinks there are, and which thread
    // the loop runs on.
    double rate = fallbackRate;
    int sinks = 0;
    pid_t loopThread = 0;
    // Learnt in the loop thread while connect() waits.
    double announcedRate = fallbackRate;
    int announcedSinks = 0;
    pid_t announcedLoopThread = 0;
    int syncSeq = 0;
    bool synced = false;
    bool coreFailed = false;

    bool pulling = true;          // data thread only
    bool dataThreadNoted = false; // data thread only
    std::mutex threadLock;
    std::condition_variable threadKnown;
    pid_t dataThread = 0; // guarded by threadLock
    int dataPolicy = SCHED_OTHER;
    int dataPriority = 0;
};

} // namespace

std::unique_ptr<AudioStreamBackend> makePipeWireBackend(AudioReport report) {
    return std::make_unique<PipeWireStreamBackend>(std::move(report));
}

} // namespace tunescrib
