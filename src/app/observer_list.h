#pragma once
// A small typed observer list: subscribers get every notification until their
// Subscription is reset or destroyed. Single-threaded: subscribe, notify and reset on
// the main thread.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

namespace tunescrib {

// Owns one subscription; destroying or resetting it unsubscribes. It may outlive the
// list it came from (then reset does nothing). Move-only.
class Subscription {
public:
    Subscription() = default;
    explicit Subscription(std::function<void()> unsubscribe)
        : unsubscribe(std::move(unsubscribe)) {}
    Subscription(Subscription&& other) noexcept
        : unsubscribe(std::exchange(other.unsubscribe, {})) {}
    Subscription& operator=(Subscription&& other) noexcept {
        if (this != &other) {
            reset();
            unsubscribe = std::exchange(other.unsubscribe, {});
        }
        return *this;
    }
    Subscription(const Subscription&) = delete;
    Subscription& operator=(const Subscription&) = delete;
    ~Subscription() { reset(); }

    void reset() {
        if (auto stop = std::exchange(unsubscribe, {})) {
            stop();
        }
    }

private:
    std::function<void()> unsubscribe;
};

template <typename Event> class ObserverList {
public:
    using Observer = std::function<void(Event)>;

    // Observers are called in the order they subscribed.
    [[nodiscard]] Subscription subscribe(Observer observer) {
        const std::uint64_t id = ++entries->lastId;
        entries->observers.emplace(id, std::make_shared<Observer>(std::move(observer)));
        return Subscription([weak = std::weak_ptr<Entries>(entries), id] {
            if (const auto alive = weak.lock()) {
                alive->observers.erase(id);
            }
        });
    }

    // An observer may subscribe or unsubscribe anyone while being notified: one that is
    // removed meanwhile is not called, one that is added is called from the next event.
    void notify(Event event) const {
        std::vector<std::uint64_t> ids;
        ids.reserve(entries->observers.size());
        for (const auto& entry : entries->observers) {
            ids.push_back(entry.first);
        }
        for (const auto id : ids) {
            const auto it = entries->observers.find(id);
            if (it != entries->observers.end()) {
                const auto observer = it->second; // survives its own unsubscription
                (*observer)(event);
            }
        }
    }

private:
    struct Entries {
        std::uint64_t lastId = 0;
        std::map<std::uint64_t, std::shared_ptr<Observer>> observers;
    };
    std::shared_ptr<Entries> entries = std::make_shared<Entries>();
};

} // namespace tunescrib
