import QtQuick
import QtQuick.Controls.Basic
import Tunescrib

// An outlined button that fills the width its container gives it (the panel's close and
// reset buttons).
ShortcutButton {
    id: root

    padding: 0
    leftPadding: 10
    rightPadding: 10
    implicitHeight: 32
    implicitWidth: contentItem.implicitWidth + leftPadding + rightPadding
    font: Fonts.sans(11, Font.Bold)
    opacity: enabled ? 1 : 0.4

    contentItem: Text {
        text: root.text
        font: root.font
        color: Colours.ink
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
    }

    background: Rectangle {
        color: root.down ? Colours.amberLight : "transparent"
        border.width: 1
        border.color: Colours.ink
    }
}
