#pragma once
// The label a newly assigned key is shown with.

#include "platform/key_event.h"

#include <string>

namespace tunescrib {

// A fixed label for keys that type nothing readable (ENTER, TAB, SPACE, arrows, ...);
// otherwise what the key types, trimmed of white space, in upper case and cut to 8
// characters (never inside a character); "KEY <code>" when that leaves nothing, or only
// control or private-use code points. Always valid UTF-8. Pure: any thread.
std::string labelForKeyboardEvent(const KeyEvent& event);

} // namespace tunescrib
