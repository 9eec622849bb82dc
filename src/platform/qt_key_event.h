#pragma once
// Turns a Qt key event into the model's KeyEvent.

#include "platform/key_event.h"

#include <optional>

class QKeyEvent;

namespace tunescrib {

// std::nullopt when the event is not a KeyPress/KeyRelease or its physical key has no
// virtual key code (see virtualKeyCodeForX11): such an event is not offered to the
// model. Main thread (it reads a live QKeyEvent).
std::optional<KeyEvent> keyEventFromQt(const QKeyEvent& event);

} // namespace tunescrib
