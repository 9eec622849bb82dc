#include "platform/pull_gate.h"

namespace tunescrib {

void PullGate::pause() {
    std::lock_guard guard(lock);
    paused = true;
}

void PullGate::resume() {
    std::lock_guard guard(lock);
    paused = false;
    changed.notify_all();
}

void PullGate::close() {
    std::lock_guard guard(lock);
    closed = true;
    changed.notify_all();
}

bool PullGate::waitWhilePaused() {
    std::unique_lock guard(lock);
    changed.wait(guard, [this] { return !paused || closed; });
    return !closed;
}

} // namespace tunescrib
