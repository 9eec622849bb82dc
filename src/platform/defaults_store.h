#pragma once
// Per-user key-value store of byte blobs: where the preferences live.

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace tunescrib {

// Why a write did not reach the store: the system's error (errno), or no error when the
// system gave none.
struct StoreFailure {
    std::error_code error;
    bool operator==(const StoreFailure&) const = default;
};

// Main thread only, unless an implementation says otherwise.
class DefaultsStore {
public:
    virtual ~DefaultsStore() = default;
    // The bytes stored under `key`; std::nullopt when nothing is stored or the entry is
    // anything other than a byte blob.
    virtual std::optional<std::string> data(std::string_view key) = 0;
    // Replaces the entry under `key`; on failure the previous entry stays as it was and
    // the failure is returned, so that the user can be told the change was not kept.
    virtual std::optional<StoreFailure> set(std::string_view key, std::string_view bytes) = 0;
    // Who hears, on the main thread, of a write refused after set() returned: a store that
    // writes later cannot return its failure. nullptr: nobody. A store that writes at once
    // has nothing to tell and ignores it.
    virtual void setFailureListener(std::function<void(const StoreFailure&)> /*listener*/) {}
};

// For tests: a map in memory that counts writes, and refuses them while `failure` is set.
class MemoryDefaultsStore final : public DefaultsStore {
public:
    std::optional<std::string> data(std::string_view key) override {
        const auto it = entries.find(std::string(key));
        return it == entries.end() ? std::nullopt : std::optional(it->second);
    }
    std::optional<StoreFailure> set(std::string_view key, std::string_view bytes) override {
        ++writeCount;
        if (!failure) {
            entries[std::string(key)] = std::string(bytes);
        }
        return failure;
    }

    std::map<std::string, std::string> entries;
    int writeCount = 0; // attempts, failed ones included
    std::optional<StoreFailure> failure;
};

} // namespace tunescrib
