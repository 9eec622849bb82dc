#include "model/sound_mode.h"

namespace tunescrib {

std::string_view rawValue(SoundMode mode) {
    return mode == SoundMode::piano ? "piano" : "sine";
}

std::optional<SoundMode> soundModeFromRaw(std::string_view raw) {
    for (auto mode : allSoundModes) {
        if (rawValue(mode) == raw) {
            return mode;
        }
    }
    return std::nullopt;
}

std::string_view displayName(SoundMode mode) {
    return mode == SoundMode::piano ? "ピアノ" : "サイン波";
}

std::string_view shortDescription(SoundMode mode) {
    return mode == SoundMode::piano ? "合成" : "純音";
}

} // namespace tunescrib
