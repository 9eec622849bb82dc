#include "platform/qt_scheduler.h"

#include <QTimerEvent>

#include <chrono>
#include <cmath>

namespace tunescrib {

QtScheduler::QtScheduler(const Clock& clock) : clock(clock) {}

QtScheduler::~QtScheduler() {
    for (const auto& entry : byTimer) {
        killTimer(entry.first);
    }
}

Scheduler::StepId QtScheduler::scheduleAt(double deadline, std::function<void()> step) {
    // Rounded up: a step never runs before its deadline, and steps keep their order.
    const double delay = std::ceil((deadline - clock.now()) * 1000.0);
    const auto ms = std::chrono::milliseconds(delay > 0 ? static_cast<std::int64_t>(delay) : 0);
    const int timerId = startTimer(ms, Qt::PreciseTimer);
    const StepId id = ++lastId;
    byTimer.emplace(timerId, Pending{id, std::move(step)});
    timerOf.emplace(id, timerId);
    return id;
}

void QtScheduler::cancel(StepId id) {
    const auto it = timerOf.find(id);
    if (it == timerOf.end()) {
        return;
    }
    killTimer(it->second);
    byTimer.erase(it->second);
    timerOf.erase(it);
}

void QtScheduler::timerEvent(QTimerEvent* event) {
    const auto it = byTimer.find(event->timerId());
    if (it == byTimer.end()) {
        return;
    }
    killTimer(it->first);
    // Taken out first: the step may schedule or cancel others, itself included.
    const auto step = std::move(it->second.step);
    timerOf.erase(it->second.id);
    byTimer.erase(it);
    step();
}

} // namespace tunescrib
