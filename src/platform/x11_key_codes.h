#pragma once
// Positional translation of X11 keycodes to the virtual key code space of stored key
// maps: the same physical key gives the same code on every keyboard layout.

#include <cstdint>
#include <optional>

namespace tunescrib {

// The virtual key code of the physical key with X11 keycode `x11Keycode` (Linux evdev
// code + 8, what QKeyEvent::nativeScanCode reports under X11). std::nullopt for a key
// that has no code there (0 means "unknown", Num Lock and Scroll Lock are lock keys
// that must never be played or assigned); such keys are passed on, never played.
// Pure: any thread.
std::optional<std::uint16_t> virtualKeyCodeForX11(std::uint32_t x11Keycode);

// The X11 keycode of the physical key with virtual key code `keyCode`, the first in
// keycode order when several share it; std::nullopt for a code no X11 key has. Pure: any
// thread.
std::optional<std::uint32_t> x11KeycodeForVirtualKeyCode(std::uint16_t keyCode);

} // namespace tunescrib
