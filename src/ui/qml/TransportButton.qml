import QtQuick
import QtQuick.Controls.Basic
import Tunescrib

// A tape-transport button: paper when idle, amber while pressed, `activeColor` with white
// text while active. A dot before the text when `dotColor` is not transparent.
ShortcutButton {
    id: root

    property bool isActive: false
    property color activeColor: Colours.ink
    property color dotColor: "transparent"

    padding: 0
    leftPadding: 13
    rightPadding: 13
    implicitHeight: 38
    implicitWidth: contentItem.implicitWidth + leftPadding + rightPadding
    font: Fonts.sans(12, Font.Bold)
    opacity: !enabled ? 0.4 : (down ? 0.82 : 1)

    contentItem: Item {
        implicitWidth: row.implicitWidth
        implicitHeight: row.implicitHeight

        Row {
            id: row
            anchors.centerIn: parent
            spacing: 6

            Rectangle {
                visible: root.dotColor.a > 0
                anchors.verticalCenter: parent.verticalCenter
                width: 9
                height: 9
                radius: 4.5
                color: root.dotColor
            }
            Text {
                anchors.verticalCenter: parent.verticalCenter
                text: root.text
                font: root.font
                color: root.isActive ? "white" : Colours.ink
            }
        }
    }

    background: Rectangle {
        color: root.isActive ? root.activeColor : (root.down ? Colours.amberLight : Colours.paperLight)
        border.width: 1
        border.color: Colours.ink
    }
}
