#pragma once
// What the user's keyboard layout prints on each physical key, so that the on-screen
// keyboard and the key map show the user's own key caps (U ' # on a US or German layout
// where a JIS keyboard prints @ : ]). The stored labels stay as they are; a key whose
// layout gives nothing printable shows its stored label.
//
// On X11 the layout is read from the server with libxkbcommon-x11 and followed through
// the XKB events Qt's own connection already receives (a new keymap from setxkbmap, a
// switch between the layouts of a group). On Wayland, where Qt 6.4 keeps the compositor's
// keymap to itself, a second connection reads the keymap the compositor sends for the
// seat's keyboard. Elsewhere (offscreen) there is no source and the stored labels show.

#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>

namespace tunescrib {

// The cap of a key whose unshifted level holds `keysyms` (xkb_keysym_t values): the one
// character it types, letters in upper case. std::nullopt for a key with no symbol or
// several, a dead key, or a character that prints nothing by itself (a control, a space,
// a combining mark, a private-use code point). Pure: any thread.
std::optional<QString> keyCapForKeysyms(std::span<const std::uint32_t> keysyms);

// Main thread only, after the QGuiApplication exists.
class LayoutKeyCaps : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // The cap of the key with virtual key code `keyCode` in the current layout.
    [[nodiscard]] virtual std::optional<QString> capFor(std::uint16_t keyCode) const = 0;

signals:
    // The layout changed: every cap may have.
    void changed();
};

// The current layout's caps, or null when the window system gives no layout to read.
std::unique_ptr<LayoutKeyCaps> connectLayoutKeyCaps();

} // namespace tunescrib
