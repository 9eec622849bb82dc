// Run by the tsan preset under ThreadSanitizer too.
#include "platform/background_defaults_store.h"

#include "owner_queue.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace tunescrib {
namespace {

constexpr std::string_view key = "k";

// An in-memory store whose writes wait while it is held, so that a write can be caught in
// flight. `memory` is the test's whenever no write is under way.
class GatedStore final : public DefaultsStore {
public:
    std::optional<std::string> data(std::string_view k) override { return memory.data(k); }
    std::optional<StoreFailure> set(std::string_view k, std::string_view bytes) override {
        std::unique_lock lock(mutex);
        ++started;
        changed.notify_all();
        changed.wait(lock, [&] { return !held; });
        return memory.set(k, bytes);
    }
    void hold(bool on) {
        {
            const std::lock_guard lock(mutex);
            held = on;
        }
        changed.notify_all();
    }
    void waitUntilStarted(int count) {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return started >= count; });
    }

    MemoryDefaultsStore memory;

private:
    std::mutex mutex;
    std::condition_variable changed;
    bool held = false;
    int started = 0;
};

TEST(BackgroundDefaultsStore, ABurstCostsTheWriteInFlightAndOneMoreAndQuittingFinishesBoth) {
    GatedStore inner;
    OwnerQueue owner;
    auto store = std::make_unique<BackgroundDefaultsStore>(inner, owner.post());
    inner.hold(true);
    EXPECT_EQ(store->set(key, "1"), std::nullopt);
    inner.waitUntilStarted(1);
    for (const char* value : {"2", "3", "4", "5"}) {
        EXPECT_EQ(store->set(key, value), std::nullopt); // returns with a write held in flight
    }
    EXPECT_EQ(store->data(key), "5");
    // The program quits with a write in flight and one pending; both are made.
    const std::jthread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        inner.hold(false);
    });
    store.reset();
    EXPECT_EQ(inner.memory.writeCount, 2);
    EXPECT_EQ(inner.data(key), "5");
    EXPECT_EQ(BackgroundDefaultsStore(inner, owner.post()).data(key), "5");
}

TEST(BackgroundDefaultsStore, ARefusalReachesTheOwnersThreadOnceUnlessALaterWriteSucceeded) {
    GatedStore inner;
    OwnerQueue owner;
    auto store = std::make_unique<BackgroundDefaultsStore>(inner, owner.post());
    std::vector<StoreFailure> heard;
    std::vector<std::thread::id> heardOn;
    const auto listener = [&](const StoreFailure& failure) {
        heard.push_back(failure);
        heardOn.push_back(std::this_thread::get_id());
    };
    store->setFailureListener(listener);
    const StoreFailure readOnly{std::make_error_code(std::errc::read_only_file_system)};

    inner.memory.failure = readOnly;
    store->set(key, "a");
    owner.waitForPost();
    EXPECT_TRUE(heard.empty()); // nothing is told on the writer thread
    owner.run();
    owner.run();
    EXPECT_EQ(heard, std::vector{readOnly});
    EXPECT_EQ(heardOn, std::vector{std::this_thread::get_id()});

    // Nobody hears of a refusal once the listener is gone (the model was destroyed).
    store->setFailureListener(nullptr);
    store->set(key, "b");
    owner.waitForPost();
    owner.run();
    store->setFailureListener(listener);

    // Refused, then stored before the owner heard of it: the refusal no longer holds. The
    // store's end is what makes sure the second write is done; its report still runs.
    store->set(key, "c");
    owner.waitForPost();
    inner.memory.failure.reset();
    store->set(key, "d");
    store.reset();
    owner.run();
    EXPECT_EQ(heard.size(), 1U);
    EXPECT_EQ(inner.data(key), "d");
}

} // namespace
} // namespace tunescrib
