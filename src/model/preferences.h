#pragma once
// The persisted settings and their stored form: one compact JSON document, kept as a
// byte blob under preferencesKey. Pure functions; the model decides when to call them.

#include "model/key_binding.h"
#include "model/sound_mode.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tunescrib {

// Stored files rely on this exact key; it never changes.
inline constexpr std::string_view preferencesKey = "tunescrib:mac-preferences:v2";

// The default document is under 1 KiB and a captured label is at most 8 characters, so
// anything beyond these bounds was not written by this program and is not read.
inline constexpr std::size_t maxDocumentBytes = 64 * 1024;
inline constexpr std::size_t maxLabelBytes = 1024;

struct AppPreferences {
    BindingList bindings = defaultBindings();
    std::int64_t baseOctave = 4;
    std::int64_t transposition = 0;
    SoundMode soundMode = SoundMode::piano;
    bool operator==(const AppPreferences&) const = default;
};

// The compact document: members bindings, baseOctave, transposition, soundMode in that
// order, no spaces. std::nullopt when a label is not valid UTF-8 (nothing is written).
std::optional<std::string> encodePreferences(const AppPreferences& prefs);

// Strict decoding: every member present and of its type, keyCode an integer in
// 0..65535, label at most maxLabelBytes, soundMode exactly "piano" or "sine"; unknown
// members ignored. Ranges of octave and transposition and the binding rule are not
// checked here. Never throws; time is linear in the input's size. Input longer than
// maxDocumentBytes (not even parsed), malformed, duplicate-member or deeply nested input
// gives std::nullopt.
std::optional<AppPreferences> decodePreferences(std::string_view bytes);

// A decoded record is applied only when its bindings are valid, 2 <= baseOctave <= 6
// and -12 <= transposition <= 12; nothing is clamped.
bool preferencesAreAcceptable(const AppPreferences& prefs);

// decodePreferences, then preferencesAreAcceptable: what loading applies, if anything.
std::optional<AppPreferences> readStoredPreferences(std::string_view bytes);

} // namespace tunescrib
