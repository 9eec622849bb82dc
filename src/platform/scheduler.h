#pragma once
// Cancellable steps run on the main thread at a deadline: what playback is built on.

#include <cstdint>
#include <functional>

namespace tunescrib {

// Main thread only; steps run on the main thread, one at a time, never inside another
// operation of the caller.
class Scheduler {
public:
    using StepId = std::uint64_t; // never 0

    virtual ~Scheduler() = default;
    // Runs `step` once, at or after `deadline`, a reading of the Clock the scheduler was
    // built with (absolute, so that a series of steps keeps the spacing between them
    // however late each is scheduled). A deadline already past runs as soon as the
    // event loop is free, never from within this call. Steps with equal deadlines run in
    // no promised order.
    virtual StepId scheduleAt(double deadline, std::function<void()> step) = 0;
    // A cancelled step that has not run never runs; cancelling a step that ran, or an
    // unknown id, does nothing. Safe to call from within a step.
    virtual void cancel(StepId id) = 0;
};

} // namespace tunescrib
