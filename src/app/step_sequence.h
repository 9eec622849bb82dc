#pragma once
// StepSequence: a series of steps, each due at its own deadline, run through a Scheduler
// with only a few of them waiting on it at a time. A take of ten thousand notes is twenty
// thousand steps; scheduled all at once they would cost the event loop that many timers,
// each of which it keeps sorted and scans.
//
// Main thread only, like the Scheduler; `run` is called there, one step at a time.

#include "platform/scheduler.h"

#include <cstddef>
#include <functional>
#include <utility>
#include <vector>

namespace tunescrib {

class StepSequence {
public:
    // At most `ahead` steps wait on `scheduler` at once. The scheduler must outlive the
    // sequence.
    StepSequence(Scheduler& scheduler, std::size_t ahead);
    // Cancels the steps not yet run.
    ~StepSequence();
    StepSequence(const StepSequence&) = delete;
    StepSequence& operator=(const StepSequence&) = delete;

    // Cancels any series still running, then runs `run(i)` for every i at or after
    // `deadlines[i]` (readings of the scheduler's clock, in nondecreasing order). A series
    // of at most `ahead` steps is scheduled whole here; a longer one is topped up as its
    // steps run, each still aimed at its own deadline, so that its timing is the same.
    void start(std::vector<double> deadlines, std::function<void(std::size_t)> run);
    // Steps not yet run never run. Safe to call from within `run`.
    void cancel();

private:
    void scheduleNext();
    void due(std::size_t index);

    Scheduler& scheduler;
    std::size_t ahead;
    std::vector<double> deadlines;
    std::function<void(std::size_t)> run;
    std::size_t next = 0; // the first step not yet handed to the scheduler
    // Steps handed to the scheduler and not yet run: (index, the scheduler's id).
    std::vector<std::pair<std::size_t, Scheduler::StepId>> waiting;
};

} // namespace tunescrib
