import QtQuick
import QtQuick.Controls.Basic
import Tunescrib

// A button that also answers its Control shortcut from the table `Shortcuts`, in exactly
// the states it can be clicked in, and says what it does to a tooltip and a screen reader.
// It never takes focus: Space must stay with the instrument.
Button {
    id: root

    // The shortcut table's action this button answers; empty for none.
    property string shortcutAction
    // What pressing the button does, in Japanese ("録音を開始").
    property string description: text
    readonly property string shortcutText: Shortcuts.sequence(shortcutAction)
    readonly property string toolTipText: shortcutText === "" ? description
                                                              : description + "  (" + shortcutText + ")"

    focusPolicy: Qt.NoFocus
    hoverEnabled: true
    Accessible.name: description
    Accessible.description: shortcutText
    ToolTip.visible: hovered && toolTipText !== ""
    ToolTip.delay: 500
    ToolTip.text: toolTipText

    Shortcut {
        sequence: root.shortcutText
        // A hidden or disabled button cannot be clicked: its shortcut refuses too. (Under a
        // modal panel Qt blocks the shortcut, as the panel blocks the pointer.)
        enabled: root.enabled && root.visible
        onActivated: root.clicked()
    }
}
