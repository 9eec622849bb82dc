import QtQuick
import QtQuick.Controls.Basic
import Tunescrib

// A light-on-dark button of the readout strip; at least `minimumWidth` x 25, wider when
// its label needs it. It looks the same when disabled: the stepper's middle button is
// always disabled and only shows its value, which must not look faded.
ShortcutButton {
    id: root

    property real minimumWidth: 27

    padding: 0
    implicitWidth: Math.max(minimumWidth, contentItem.implicitWidth)
    implicitHeight: Math.max(25, contentItem.implicitHeight)
    font: Fonts.mono(12, Font.Black)

    contentItem: Text {
        text: root.text
        font: root.font
        color: Qt.rgba(1, 1, 1, root.down ? 0.58 : 0.9)
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
    }

    background: Rectangle {
        color: Qt.rgba(1, 1, 1, root.down ? 0.16 : 0.08)
        border.width: 1
        border.color: Qt.rgba(1, 1, 1, 0.22)
    }
}
