#pragma once
// A scheduler for tests: virtual time that moves only when the test advances it.

#include "platform/manual_clock.h"
#include "platform/scheduler.h"

#include <cstddef>
#include <map>
#include <unordered_map>
#include <utility>

namespace tunescrib {

// Main thread only. Moves the given clock: a step runs with the clock reading its
// deadline, so what a step records of the time is exact.
class ManualScheduler final : public Scheduler {
public:
    explicit ManualScheduler(ManualClock& clock) : clock(clock) {}

    StepId scheduleAt(double deadline, std::function<void()> step) override;
    void cancel(StepId id) override;

    // Runs every step due within the next `seconds`, earliest deadline first (equal
    // deadlines in the order they were scheduled), including steps scheduled by steps,
    // then leaves the clock `seconds` later than it was.
    void advance(double seconds);
    // Steps scheduled and neither run nor cancelled.
    [[nodiscard]] std::size_t pendingCount() const { return pending.size(); }

private:
    ManualClock& clock;
    StepId lastId = 0;
    // Keyed by (deadline, id): ids grow, so ties keep the scheduling order.
    std::map<std::pair<double, StepId>, std::function<void()>> pending;
    std::unordered_map<StepId, double> deadlineOf;
};

} // namespace tunescrib
