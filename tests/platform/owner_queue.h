#pragma once
// The owner's event loop for a BackgroundDefaultsStore in tests: steps posted from the
// writer thread wait here until the test, as the main thread, runs them.

#include "platform/background_defaults_store.h"

#include <condition_variable>
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

namespace tunescrib {

class OwnerQueue {
public:
    BackgroundDefaultsStore::Post post() {
        return [this](std::function<void()> step) {
            const std::lock_guard lock(mutex);
            steps.push_back(std::move(step));
            posted.notify_all();
        };
    }
    void waitForPost() {
        std::unique_lock lock(mutex);
        posted.wait(lock, [&] { return !steps.empty(); });
    }
    void run() {
        std::unique_lock lock(mutex);
        auto due = std::exchange(steps, {});
        lock.unlock();
        for (auto& step : due) {
            step();
        }
    }

private:
    std::mutex mutex;
    std::condition_variable posted;
    std::vector<std::function<void()>> steps;
};

} // namespace tunescrib
