// Run by the tsan preset under ThreadSanitizer too.
#include "platform/background_defaults_store.h"

#include "owner_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <latch>
#include <memory>
#include <thread>
#include <vector>

namespace tunescrib {
namespace {

constexpr std::string_view key = "k";

// An in-memory store whose writes wait until released, so that a write is caught in flight.
struct HeldStore final : DefaultsStore {
    std::optional<std::string> data(std::string_view k) override { return memory.data(k); }
    std::optional<StoreFailure> set(std::string_view k, std::string_view bytes) override {
        started = true;
        started.notify_all();
        released.wait();
        return memory.set(k, bytes);
    }
    MemoryDefaultsStore memory;
    std::atomic<bool> started{false};
    std::latch released{1};
};

TEST(BackgroundDefaultsStore, ABurstCostsTheWriteInFlightAndOneMoreAndQuittingFinishesBoth) {
    HeldStore inner;
    OwnerQueue owner;
    auto store = std::make_unique<BackgroundDefaultsStore>(inner, owner.post());
    EXPECT_EQ(store->set(key, "1"), std::nullopt);
    inner.started.wait(false);
    for (const char* value : {"2", "3", "4", "5"}) {
        EXPECT_EQ(store->set(key, value), std::nullopt); // returns with a write held in flight
    }
    EXPECT_EQ(store->data(key), "5");
    // The program quits with a write in flight and one pending; both are made.
    const std::jthread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        inner.released.count_down();
    });
    store.reset();
    EXPECT_EQ(inner.memory.writeCount, 2);
    EXPECT_EQ(inner.data(key), "5");
}

TEST(BackgroundDefaultsStore, ARefusalReachesTheOwnersThreadOnceUnlessALaterWriteSucceeded) {
    MemoryDefaultsStore inner;
    OwnerQueue owner;
    auto store = std::make_unique<BackgroundDefaultsStore>(inner, owner.post());
    std::vector<StoreFailure> heard;
    const auto listener = [&](const StoreFailure& failure) { heard.push_back(failure); };
    store->setFailureListener(listener);
    const StoreFailure readOnly{std::make_error_code(std::errc::read_only_file_system)};

    inner.failure = readOnly;
    store->set(key, "a");
    owner.waitForPost();
    EXPECT_TRUE(heard.empty()); // nothing is told on the writer thread
    owner.run();
    owner.run();
    EXPECT_EQ(heard, std::vector{readOnly});

    // Nobody hears of a refusal once the listener is gone (the model was destroyed).
    store->setFailureListener(nullptr);
    store->set(key, "b");
    owner.waitForPost();
    owner.run();
    store->setFailureListener(listener);

    // Refused, then stored before the owner heard of it: the refusal no longer holds. The
    // store's end makes sure the second write is done; its report still runs.
    store->set(key, "c");
    owner.waitForPost();
    inner.failure.reset();
    store->set(key, "d");
    store.reset();
    owner.run();
    EXPECT_EQ(heard.size(), 1U);
    EXPECT_EQ(inner.data(key), "d");
}

} // namespace
} // namespace tunescrib
