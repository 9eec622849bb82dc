#pragma once
// A DefaultsStore that writes through another one on a thread of its own, so that saving a
// setting never waits on the disk.
//
// set() returns at once. Writes not yet begun are coalesced: the writer takes only the
// latest bytes of each key, so a burst of changes costs at most the write in flight and
// one more, and the last change always wins. A write the inner store refuses reaches the
// failure listener on the owner's thread, through the `post` function; a refusal that a
// later successful write of the same key has made moot by the time it is delivered is not
// reported. Destruction finishes the write in flight and every pending one, so nothing
// saved is lost when the program quits; a refusal nobody heard of is then said on stderr.

#include "platform/defaults_store.h"

#include <functional>
#include <memory>
#include <thread>

namespace tunescrib {

// Construct, call and destroy on one thread (the main thread); the inner store is used on
// the writer thread and, for data(), on the caller's, never both at once.
class BackgroundDefaultsStore final : public DefaultsStore {
public:
    // Runs a step later on the owner's thread; called on the writer thread, so it must be
    // thread-safe (in the program, a queued call into the Qt event loop).
    using Post = std::function<void(std::function<void()> step)>;

    // `inner` must outlive this store.
    BackgroundDefaultsStore(DefaultsStore& inner, Post post);
    ~BackgroundDefaultsStore() override;
    BackgroundDefaultsStore(const BackgroundDefaultsStore&) = delete;
    BackgroundDefaultsStore& operator=(const BackgroundDefaultsStore&) = delete;

    // The bytes last given to set(), else what the inner store holds. Waits for a write in
    // flight, which only a read right after a change would meet (the program reads once,
    // at start-up).
    std::optional<std::string> data(std::string_view key) override;
    // Queues the write; always std::nullopt, since its outcome is known only later.
    std::optional<StoreFailure> set(std::string_view key, std::string_view bytes) override;
    void setFailureListener(std::function<void(const StoreFailure&)> listener) override;

private:
    struct Shared;
    void writeUntilStopped();

    DefaultsStore& inner;
    Post post;
    // Held by steps posted to the owner's thread too, which may run after this store is gone.
    std::shared_ptr<Shared> shared;
    std::thread writer;
};

} // namespace tunescrib
