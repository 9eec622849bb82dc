#pragma once
// The synthesizer's timbre. The raw value is also the stored form in the preferences.

#include <array>
#include <optional>
#include <string_view>

namespace tunescrib {

enum class SoundMode { piano, sine };

inline constexpr std::array<SoundMode, 2> allSoundModes = {SoundMode::piano, SoundMode::sine};

// "piano" / "sine".
std::string_view rawValue(SoundMode mode);
// Exact and case-sensitive: anything but "piano" or "sine" gives no value.
std::optional<SoundMode> soundModeFromRaw(std::string_view raw);
// "ピアノ" / "サイン波".
std::string_view displayName(SoundMode mode);
// "合成" / "純音".
std::string_view shortDescription(SoundMode mode);

} // namespace tunescrib
