#include "platform/pulse_server_probe.h"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/introspect.h>
#include <pulse/mainloop.h>
#include <pulse/operation.h>

#include <memory>
#include <optional>

namespace tunescrib {

namespace {

using Clock = std::chrono::steady_clock;

struct MainloopFree {
    void operator()(pa_mainloop* loop) const { pa_mainloop_free(loop); }
};
struct ContextRelease {
    void operator()(pa_context* context) const {
        pa_context_disconnect(context);
        pa_context_unref(context);
    }
};
struct OperationUnref {
    void operator()(pa_operation* operation) const { pa_operation_unref(operation); }
};

// What the server says of itself and of its default sink.
struct SinkQuery {
    bool serverInfoDone = false;
    bool sinkInfoDone = false;
    std::optional<std::string> defaultSink;
    AudioFormat format;
};

class Probe {
public:
    explicit Probe(std::chrono::milliseconds limit)
        : limit(limit), deadline(Clock::now() + limit), loop(pa_mainloop_new()) {}

    PulseServerAnswer run() {
        if (!loop) {
            return {PulseServerAnswer::Kind::absent, "pa_mainloop_new failed", {}};
        }
        context.reset(pa_context_new(pa_mainloop_get_api(loop.get()), "Tunescrib"));
        if (!context) {
            return {PulseServerAnswer::Kind::absent, "pa_context_new failed", {}};
        }
        if (pa_context_connect(context.get(), nullptr, PA_CONTEXT_NOFLAGS, nullptr) < 0) {
            return absent();
        }
        if (auto failure = waitFor([this] { return contextReady(); })) {
            return *failure;
        }
        if (pa_context_get_state(context.get()) != PA_CONTEXT_READY) {
            return absent();
        }
        std::unique_ptr<pa_operation, OperationUnref> serverInfo(
            pa_context_get_server_info(context.get(), &Probe::onServerInfo, &query));
        if (auto failure = waitFor([this] { return query.serverInfoDone; })) {
            return *failure;
        }
        if (!query.defaultSink) {
            return {PulseServerAnswer::Kind::sinkless,
                    "the sound server has no output device (no default sink)",
                    {}};
        }
        std::unique_ptr<pa_operation, OperationUnref> sinkInfo(pa_context_get_sink_info_by_name(
            context.get(), query.defaultSink->c_str(), &Probe::onSinkInfo, &query));
        if (auto failure = waitFor([this] { return query.sinkInfoDone; })) {
            return *failure;
        }
        if (query.format.channelCount == 0) {
            return {PulseServerAnswer::Kind::sinkless,
                    "the sound server's default sink \"" + *query.defaultSink +
                        "\" could not be described",
                    {}};
        }
        return {PulseServerAnswer::Kind::answered, {}, query.format};
    }

private:
    [[nodiscard]] bool contextReady() const {
        const pa_context_state_t state = pa_context_get_state(context.get());
        return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
    }

    [[nodiscard]] PulseServerAnswer absent() const {
        return {PulseServerAnswer::Kind::absent, pa_strerror(pa_context_errno(context.get())), {}};
    }

    // Runs the main loop until `done` or the deadline; an answer when it cannot go on.
    template <typename Done> std::optional<PulseServerAnswer> waitFor(Done done) {
        while (!done()) {
            if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context.get()))) {
                return absent();
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
            if (left.count() <= 0) {
                return PulseServerAnswer{PulseServerAnswer::Kind::silent,
                                         "the sound server did not answer within " +
                                             std::to_string(limit.count()) + " ms",
                                         {}};
            }
            // Sleeps in poll() until the socket stirs or the time is up: no busy waiting.
            if (pa_mainloop_prepare(loop.get(), static_cast<int>(left.count())) < 0 ||
                pa_mainloop_poll(loop.get()) < 0 || pa_mainloop_dispatch(loop.get()) < 0) {
                return PulseServerAnswer{
                    PulseServerAnswer::Kind::absent, "the PulseAudio main loop failed", {}};
            }
        }
        return std::nullopt;
    }

    static void onServerInfo(pa_context*, const pa_server_info* info, void* user) {
        auto& query = *static_cast<SinkQuery*>(user);
        if (info != nullptr && info->default_sink_name != nullptr &&
            *info->default_sink_name != '\0') {
            query.defaultSink = info->default_sink_name;
        }
        query.serverInfoDone = true;
    }

    static void onSinkInfo(pa_context*, const pa_sink_info* info, int eol, void* user) {
        auto& query = *static_cast<SinkQuery*>(user);
        if (info != nullptr) {
            query.format = AudioFormat{static_cast<double>(info->sample_spec.rate),
                                       info->sample_spec.channels};
        }
        if (eol != 0 || info == nullptr) {
            query.sinkInfoDone = true;
        }
    }

    std::chrono::milliseconds limit;
    Clock::time_point deadline;
    std::unique_ptr<pa_mainloop, MainloopFree> loop;
    std::unique_ptr<pa_context, ContextRelease> context;
    SinkQuery query;
};

} // namespace

PulseServerAnswer askPulseServer(std::chrono::milliseconds limit) {
    return Probe(limit).run();
}

} // namespace tunescrib
