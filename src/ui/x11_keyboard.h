#pragma once
// What the key-event bridge needs of the X server beyond Qt: repeats without fake
// releases, and which keys are down when the window gains focus. Both do nothing off X11
// (Wayland, offscreen). Main thread, after the application exists.

#include <cstdint>
#include <vector>

namespace tunescrib {

// Asks the X server to send a held key's auto-repeat as presses only, without the
// release that would otherwise come before each one. Qt can tell those releases from real
// ones only when the matching press is already queued, which it often is not: a held note
// would then stop and restart 25 times a second. The bridge knows a repeat from the key
// being down already, so the presses need no flag.
void makeAutoRepeatDetectable();

// X keycodes of the keys down now, as the server sees them; empty off X11. Qt does not
// pass on the keymap state that comes with a focus-in, so the bridge asks for it.
std::vector<std::uint32_t> x11KeysDown();

} // namespace tunescrib
