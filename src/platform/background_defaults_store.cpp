#include "platform/background_defaults_store.h"

#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <utility>

namespace tunescrib {

struct BackgroundDefaultsStore::Shared {
    std::mutex mutex;
    std::condition_variable wake;
    // Under `mutex`: the latest bytes of each key not yet handed to the inner store, and
    // each key whose latest write was refused and not yet reported.
    std::map<std::string, std::string, std::less<>> pending;
    std::map<std::string, StoreFailure, std::less<>> unreported;
    bool stopping = false;
    // Held while the inner store is used; taken after `mutex` where both are held.
    std::mutex innerMutex;
    // Owner's thread only.
    std::function<void(const StoreFailure&)> listener;

    // On the owner's thread.
    void report() {
        std::map<std::string, StoreFailure, std::less<>> failures;
        {
            const std::lock_guard lock(mutex);
            failures = std::exchange(unreported, {});
        }
        for (const auto& entry : failures) {
            if (listener) {
                listener(entry.second);
            }
        }
    }
};

BackgroundDefaultsStore::BackgroundDefaultsStore(DefaultsStore& inner, Post post)
    : inner(inner), post(std::move(post)), shared(std::make_shared<Shared>()),
      writer([this] { writeUntilStopped(); }) {}

BackgroundDefaultsStore::~BackgroundDefaultsStore() {
    {
        const std::lock_guard lock(shared->mutex);
        shared->stopping = true;
    }
    shared->wake.notify_one();
    writer.join();
    // The program has stopped listening by now; a change it could not keep is still said.
    for (const auto& [key, failure] : shared->unreported) {
        std::fprintf(stderr, "tunescrib: a change of the settings could not be saved%s\n",
                     failure.error ? (" (" + failure.error.message() + ")").c_str() : "");
    }
}

std::optional<std::string> BackgroundDefaultsStore::data(std::string_view key) {
    {
        const std::lock_guard lock(shared->mutex);
        if (const auto it = shared->pending.find(key); it != shared->pending.end()) {
            return it->second;
        }
    }
    const std::lock_guard lock(shared->innerMutex);
    return inner.data(key);
}

std::optional<StoreFailure> BackgroundDefaultsStore::set(std::string_view key,
                                                         std::string_view bytes) {
    {
        const std::lock_guard lock(shared->mutex);
        shared->pending.insert_or_assign(std::string(key), std::string(bytes));
    }
    shared->wake.notify_one();
    return std::nullopt;
}

void BackgroundDefaultsStore::setFailureListener(
    std::function<void(const StoreFailure&)> listener) {
    shared->listener = std::move(listener);
}

void BackgroundDefaultsStore::writeUntilStopped() {
    for (;;) {
        std::unique_lock lock(shared->mutex);
        shared->wake.wait(lock, [&] { return !shared->pending.empty() || shared->stopping; });
        if (shared->pending.empty()) {
            return; // stopping, and everything asked for is written
        }
        const auto batch = std::exchange(shared->pending, {});
        // Taken before `mutex` is let go, so that data() cannot read between the hand-over
        // and the write.
        std::unique_lock innerLock(shared->innerMutex);
        lock.unlock();
        std::map<std::string, std::optional<StoreFailure>, std::less<>> outcomes;
        for (const auto& [key, bytes] : batch) {
            outcomes[key] = inner.set(key, bytes);
        }
        innerLock.unlock();

        lock.lock();
        bool refused = false;
        for (const auto& [key, outcome] : outcomes) {
            if (outcome) {
                shared->unreported.insert_or_assign(key, *outcome);
                refused = true;
            } else {
                shared->unreported.erase(key);
            }
        }
        const bool tell = refused && !shared->stopping;
        lock.unlock();
        if (tell) {
            post([shared = shared] { shared->report(); });
        }
    }
}

} // namespace tunescrib
