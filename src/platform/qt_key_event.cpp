#include "platform/qt_key_event.h"

#include "platform/x11_key_codes.h"

#include <QKeyEvent>

namespace tunescrib {
namespace {

std::uint64_t modifierFlags(Qt::KeyboardModifiers modifiers) {
    std::uint64_t flags = 0;
    if (modifiers & Qt::ShiftModifier) {
        flags |= modifier::shift;
    }
    if (modifiers & Qt::ControlModifier) {
        flags |= modifier::control;
    }
    if (modifiers & Qt::AltModifier) {
        flags |= modifier::option;
    }
    if (modifiers & Qt::MetaModifier) {
        flags |= modifier::command;
    }
    if (modifiers & Qt::KeypadModifier) {
        flags |= modifier::numericPad;
    }
    return flags;
}

// With Control held text() is a control character (or empty with Alt or Super), so the
// printable ASCII key is taken from key() instead, in the case Shift gives it.
std::optional<std::string> charactersIgnoringModifiers(const QKeyEvent& event) {
    const auto shortcutModifiers = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    const int key = event.key();
    if ((event.modifiers() & shortcutModifiers) && key >= Qt::Key_Space &&
        key <= Qt::Key_AsciiTilde) {
        char c = static_cast<char>(key);
        if (c >= 'A' && c <= 'Z' && !(event.modifiers() & Qt::ShiftModifier)) {
            c = static_cast<char>(c - 'A' + 'a');
        }
        return std::string(1, c);
    }
    const QString text = event.text();
    if (text.isEmpty()) {
        return std::nullopt;
    }
    return text.toStdString();
}

} // namespace

std::optional<KeyEvent> keyEventFromQt(const QKeyEvent& event) {
    KeyEventType type = KeyEventType::other;
    if (event.type() == QEvent::KeyPress) {
        type = KeyEventType::keyDown;
    } else if (event.type() == QEvent::KeyRelease) {
        type = KeyEventType::keyUp;
    } else {
        return std::nullopt;
    }
    const auto code = virtualKeyCodeForX11(event.nativeScanCode());
    if (!code) {
        return std::nullopt;
    }
    return KeyEvent{type, modifierFlags(event.modifiers()), *code, event.isAutoRepeat(),
                    charactersIgnoringModifiers(event)};
}

} // namespace tunescrib
