#pragma once
// The per-user store on disk: QSettings of organisation and application "tunescrib",
// so $XDG_CONFIG_HOME/tunescrib/tunescrib.conf.

#include "platform/defaults_store.h"

#include <QSettings>

namespace tunescrib {

// Main thread only. Each write is flushed at once and replaces the file atomically, so a
// killed process leaves either the old or the new file, never a torn one.
class QSettingsDefaultsStore final : public DefaultsStore {
public:
    QSettingsDefaultsStore();
    std::optional<std::string> data(std::string_view key) override;
    void set(std::string_view key, std::string_view bytes) override;

private:
    QSettings settings;
};

} // namespace tunescrib
