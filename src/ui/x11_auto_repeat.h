#pragma once

namespace tunescrib {

// Asks the X server to send a held key's auto-repeat as presses only, without the
// release that would otherwise come before each one. Qt can tell those releases from real
// ones only when the matching press is already queued, which it often is not: a held note
// would then stop and restart 25 times a second. Main thread, after the application exists;
// does nothing off X11.
void makeAutoRepeatDetectable();

} // namespace tunescrib
