#include "app/step_sequence.h"

#include <algorithm>

namespace tunescrib {

StepSequence::StepSequence(Scheduler& scheduler, std::size_t ahead)
    : scheduler(scheduler), ahead(std::max<std::size_t>(ahead, 1)) {}

StepSequence::~StepSequence() {
    cancel();
}

void StepSequence::start(std::vector<double> stepDeadlines,
                         std::function<void(std::size_t)> runStep) {
    cancel();
    deadlines = std::move(stepDeadlines);
    run = std::move(runStep);
    while (waiting.size() < ahead && next < deadlines.size()) {
        scheduleNext();
    }
}

void StepSequence::cancel() {
    for (const auto& [index, id] : waiting) {
        scheduler.cancel(id);
    }
    waiting.clear();
    deadlines = {};
    run = nullptr;
    next = 0;
}

void StepSequence::scheduleNext() {
    const std::size_t index = next++;
    waiting.emplace_back(index,
                         scheduler.scheduleAt(deadlines[index], [this, index] { due(index); }));
}

void StepSequence::due(std::size_t index) {
    // Steps with close deadlines may run in either order, so the one that ran is looked up.
    std::erase_if(waiting, [index](const auto& entry) { return entry.first == index; });
    if (next < deadlines.size()) {
        scheduleNext();
    }
    // Last: the step may cancel the sequence or start another.
    const auto step = run;
    step(index);
}

} // namespace tunescrib
