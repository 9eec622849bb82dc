#pragma once
// Per-user key-value store of byte blobs: where the preferences live.

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace tunescrib {

// Main thread only.
class DefaultsStore {
public:
    virtual ~DefaultsStore() = default;
    // The bytes stored under `key`; std::nullopt when nothing is stored or the entry is
    // anything other than a byte blob.
    virtual std::optional<std::string> data(std::string_view key) = 0;
    // Replaces the entry under `key`. Failures are silent: settings are best effort.
    virtual void set(std::string_view key, std::string_view bytes) = 0;
};

// For tests: a map in memory that counts writes.
class MemoryDefaultsStore final : public DefaultsStore {
public:
    std::optional<std::string> data(std::string_view key) override {
        const auto it = entries.find(std::string(key));
        return it == entries.end() ? std::nullopt : std::optional(it->second);
    }
    void set(std::string_view key, std::string_view bytes) override {
        entries[std::string(key)] = std::string(bytes);
        ++writeCount;
    }

    std::map<std::string, std::string> entries;
    int writeCount = 0;
};

} // namespace tunescrib
