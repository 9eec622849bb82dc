#pragma once
// The per-user store on disk: $XDG_CONFIG_HOME/tunescrib/tunescrib.conf (or
// ~/.config/tunescrib/tunescrib.conf), in the INI text of settings_ini_format.h.
//
// The path is not trusted. Only a regular file is read or replaced; a symbolic link to a
// regular file is followed and its target replaced. A FIFO, device, socket, directory or
// dangling link there is never opened for writing, never waited on, reads as nothing
// stored, refuses every write, and is reported once on stderr. A file larger than any
// this program writes is not read. No lock is taken: every write replaces the whole file
// at once (a new file renamed over the old one), so a crash leaves the old or the new
// file, never a torn one, and a lock left behind by an earlier version cannot stall it.

#include "platform/defaults_store.h"

#include <string>

namespace tunescrib {

// One thread at a time (in the program, the writer thread of BackgroundDefaultsStore).
class SettingsFileStore final : public DefaultsStore {
public:
    // The file named by the XDG base directory rules for this user.
    SettingsFileStore();
    explicit SettingsFileStore(std::string path);

    std::optional<std::string> data(std::string_view key) override;
    std::optional<StoreFailure> set(std::string_view key, std::string_view bytes) override;

    [[nodiscard]] const std::string& path() const { return path_; }

private:
    // Says once per store why the path cannot be used.
    void warn(const std::string& what);

    std::string path_;
    bool warned = false;
};

// $XDG_CONFIG_HOME/tunescrib/tunescrib.conf when XDG_CONFIG_HOME is an absolute path,
// else $HOME/.config/tunescrib/tunescrib.conf.
std::string defaultSettingsFilePath();

} // namespace tunescrib
