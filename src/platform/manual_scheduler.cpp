#include "platform/manual_scheduler.h"

namespace tunescrib {

Scheduler::StepId ManualScheduler::scheduleAt(double deadline, std::function<void()> step) {
    const StepId id = ++lastId;
    pending.emplace(std::pair(deadline, id), std::move(step));
    deadlineOf.emplace(id, deadline);
    return id;
}

void ManualScheduler::cancel(StepId id) {
    const auto it = deadlineOf.find(id);
    if (it == deadlineOf.end()) {
        return;
    }
    pending.erase(std::pair(it->second, id));
    deadlineOf.erase(it);
}

void ManualScheduler::advance(double seconds) {
    const double target = clock.now() + (seconds > 0 ? seconds : 0);
    while (!pending.empty() && pending.begin()->first.first <= target) {
        auto node = pending.extract(pending.begin());
        deadlineOf.erase(node.key().second);
        clock.advance(node.key().first - clock.now());
        node.mapped()();
    }
    clock.advance(target - clock.now());
}

} // namespace tunescrib
