#include "platform/pulse_server_probe.h"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/mainloop.h>

#include <memory>

namespace tunescrib {

namespace {

struct MainloopFree {
    void operator()(pa_mainloop* loop) const { pa_mainloop_free(loop); }
};
struct ContextRelease {
    void operator()(pa_context* context) const {
        pa_context_disconnect(context);
        pa_context_unref(context);
    }
};

} // namespace

PulseServerAnswer askPulseServer(std::chrono::milliseconds limit) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + limit;
    std::unique_ptr<pa_mainloop, MainloopFree> loop(pa_mainloop_new());
    if (!loop) {
        return {PulseServerAnswer::Kind::absent, "pa_mainloop_new failed"};
    }
    std::unique_ptr<pa_context, ContextRelease> context(
        pa_context_new(pa_mainloop_get_api(loop.get()), "Tunescrib"));
    if (!context) {
        return {PulseServerAnswer::Kind::absent, "pa_context_new failed"};
    }
    if (pa_context_connect(context.get(), nullptr, PA_CONTEXT_NOFLAGS, nullptr) < 0) {
        return {PulseServerAnswer::Kind::absent, pa_strerror(pa_context_errno(context.get()))};
    }
    for (;;) {
        switch (pa_context_get_state(context.get())) {
        case PA_CONTEXT_READY:
            return {PulseServerAnswer::Kind::answered, {}};
        case PA_CONTEXT_FAILED:
        case PA_CONTEXT_TERMINATED:
            return {PulseServerAnswer::Kind::absent, pa_strerror(pa_context_errno(context.get()))};
        default:
            break;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            return {PulseServerAnswer::Kind::silent, "the sound server did not answer within " +
                                                         std::to_string(limit.count()) + " ms"};
        }
        // Sleeps in poll() until the socket stirs or the time is up: no busy waiting.
        if (pa_mainloop_prepare(loop.get(), static_cast<int>(left.count())) < 0 ||
            pa_mainloop_poll(loop.get()) < 0 || pa_mainloop_dispatch(loop.get()) < 0) {
            return {PulseServerAnswer::Kind::absent, "the PulseAudio main loop failed"};
        }
    }
}

} // namespace tunescrib
