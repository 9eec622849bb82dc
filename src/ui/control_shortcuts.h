#pragma once
// The keyboard shortcuts of the window's controls, one table for the buttons, their
// tooltips and --help. Every one holds Control: the model leaves such keys alone, so a
// shortcut can never sound a note nor be taken as a key to assign.

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

#include <array>
#include <string_view>

namespace tunescrib {

struct ControlShortcut {
    std::string_view action;   // what a button names to answer it
    std::string_view sequence; // portable key sequence text
    std::string_view help;     // one line of --help
};

inline constexpr std::array controlShortcuts{
    ControlShortcut{"record", "Ctrl+R", "start or stop recording"},
    ControlShortcut{"play", "Ctrl+P", "play the take back (again from the start)"},
    ControlShortcut{"clear", "Ctrl+Backspace", "clear the take"},
    ControlShortcut{"octaveDown", "Ctrl+Down", "octave down"},
    ControlShortcut{"octaveUp", "Ctrl+Up", "octave up"},
    ControlShortcut{"transposeDown", "Ctrl+Left", "transpose a semitone down"},
    ControlShortcut{"transposeUp", "Ctrl+Right", "transpose a semitone up"},
    ControlShortcut{"transposeReset", "Ctrl+0", "transposition back to 0"},
    ControlShortcut{"piano", "Ctrl+1", "piano timbre"},
    ControlShortcut{"sine", "Ctrl+2", "sine timbre"},
    ControlShortcut{"keyMap", "Ctrl+K", "open or close the key map"},
    ControlShortcut{"undoClear", "Ctrl+Z", "undo the last clear"},
};

// The table's lines for --help, one shortcut a line, aligned. Pure: any thread.
QString shortcutHelpText();

// The QML singleton `Shortcuts`. Stateless; main thread (called from QML bindings).
class ShortcutTable : public QObject {
    Q_OBJECT
    QML_NAMED_ELEMENT(Shortcuts)
    QML_SINGLETON

public:
    using QObject::QObject;

    // The key sequence of `action` as the desktop writes it ("Ctrl+R"); empty when the
    // table has no such action.
    Q_INVOKABLE [[nodiscard]] static QString sequence(const QString& action);
};

} // namespace tunescrib
