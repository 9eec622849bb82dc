#pragma once
// The key event the application model is given: what the platform's key event says,
// reduced to the five fields the model reads, in a key-code space that stored key maps
// share on every keyboard layout.

#include <cstdint>
#include <optional>
#include <string>

namespace tunescrib {

enum class KeyEventType { keyDown, keyUp, other };

// Modifier bits of KeyEvent::modifierFlags.
namespace modifier {
inline constexpr std::uint64_t capsLock = 1U << 16;
inline constexpr std::uint64_t shift = 1U << 17;
inline constexpr std::uint64_t control = 1U << 18;
inline constexpr std::uint64_t option = 1U << 19;  // Alt
inline constexpr std::uint64_t command = 1U << 20; // Super / Meta
inline constexpr std::uint64_t numericPad = 1U << 21;
// A key-down with any of these held belongs to a shortcut, never to the instrument.
inline constexpr std::uint64_t shortcutMask = control | option | command; // 0x1C0000
} // namespace modifier

// Virtual key codes with a fixed meaning to the model.
namespace keycode {
inline constexpr std::uint16_t a = 0; // only the physical A key ever has code 0
inline constexpr std::uint16_t escape = 53;
// 54..62: Right Command, Command, Shift, Caps Lock, Option, Control, Right Shift,
// Right Option (AltGr), Right Control.
inline constexpr std::uint16_t firstModifier = 54;
inline constexpr std::uint16_t lastModifier = 62;
constexpr bool isModifier(std::uint16_t code) {
    return code >= firstModifier && code <= lastModifier;
}
} // namespace keycode

// A plain value; made on the main thread by the key-event bridge.
struct KeyEvent {
    KeyEventType type = KeyEventType::keyDown;
    std::uint64_t modifierFlags = 0; // bits of `modifier`
    std::uint16_t keyCode = 0;       // virtual key code of the physical key
    // True when the key was already down: the automatic repeats of a held key, or a key
    // still held from before it was silenced. On a key-up it marks the release half of
    // an automatic repeat (X11 sends repeats as release + press pairs): the key is still
    // held.
    bool isRepeat = false;
    // What the key types without Control, Alt or Super; std::nullopt when it types
    // nothing. Only used to label a newly assigned key.
    std::optional<std::string> charactersIgnoringModifiers;

    bool operator==(const KeyEvent&) const = default;
};

} // namespace tunescrib
