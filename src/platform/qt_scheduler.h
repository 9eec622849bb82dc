#pragma once
// The production Scheduler: precise single-shot Qt timers on the main thread's event
// loop.

#include "platform/clock.h"
#include "platform/scheduler.h"

#include <QObject>

#include <unordered_map>

namespace tunescrib {

// Main thread only (the thread whose event loop runs the steps). Deadlines are readings
// of `clock`, which must be CLOCK_MONOTONIC based like Qt's own timers (SteadyClock).
// Qt::PreciseTimer keeps a step within about a millisecond of its deadline on an idle
// loop; coarse timers may be 5 % off either way, which could run a note's end before
// its start.
class QtScheduler final : public QObject, public Scheduler {
public:
    explicit QtScheduler(const Clock& clock);
    // Pending steps are dropped unrun.
    ~QtScheduler() override;

    StepId scheduleAt(double deadline, std::function<void()> step) override;
    void cancel(StepId id) override;

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    struct Pending {
        StepId id;
        std::function<void()> step;
    };
    const Clock& clock;
    // Qt reuses timer ids once a timer is killed, so steps carry ids of their own: a
    // late cancel of a step that ran must not hit a newer one.
    StepId lastId = 0;
    std::unordered_map<int, Pending> byTimer;
    std::unordered_map<StepId, int> timerOf;
};

} // namespace tunescrib
