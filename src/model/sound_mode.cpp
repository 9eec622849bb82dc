#include "model/sound_mode.h"

namespace tunescrib {

namespace {

struct SoundModeTexts {
    std::string_view raw;
    std::string_view display;
    std::string_view description;
};

// Every timbre's texts in one switch without a default, so a new timbre does not compile
// quietly into another's name or stored form.
constexpr SoundModeTexts textsOf(SoundMode mode) {
    switch (mode) {
    case SoundMode::piano:
        return {"piano", "ピアノ", "合成"};
    case SoundMode::sine:
        return {"sine", "サイン波", "純音"};
    }
    return {};
}

} // namespace

std::string_view rawValue(SoundMode mode) {
    return textsOf(mode).raw;
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
    return textsOf(mode).display;
}

std::string_view shortDescription(SoundMode mode) {
    return textsOf(mode).description;
}

} // namespace tunescrib
