import QtQuick
import QtQuick.Controls.Basic
import Tunescrib

// A plain outlined button of the header with a bold title over a small monospaced
// caption; inverted while `selected`.
ShortcutButton {
    id: root

    property string title
    property string caption
    property bool selected: false

    padding: 0
    opacity: enabled ? 1 : 0.4
    description: title + " " + caption

    contentItem: Item {
        Column {
            anchors.centerIn: parent
            spacing: 1

            Text {
                anchors.horizontalCenter: parent.horizontalCenter
                text: root.title
                font: Fonts.sans(13, Font.Bold)
                color: root.selected ? Colours.paperLight : Colours.ink
            }
            Text {
                anchors.horizontalCenter: parent.horizontalCenter
                text: root.caption
                font: Fonts.mono(9, Font.Medium)
                color: root.selected ? Colours.paperLight : Colours.ink
            }
        }
    }

    background: Rectangle {
        color: root.selected ? Colours.ink : Colours.paperLight
        border.width: 1
        border.color: Colours.ink
    }
}
