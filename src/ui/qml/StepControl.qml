import QtQuick
import Tunescrib

// A stepper of the readout strip: title, then minus / value / plus, then a subtitle cut
// to one line. Disabled buttons are drawn but run nothing.
Column {
    id: root

    property string title
    property string value
    property string subtitle
    property bool decrementDisabled: false
    property bool incrementDisabled: false
    property bool resetDisabled: false

    signal decrement()
    signal reset()
    signal increment()

    spacing: 4

    ReadoutLabel {
        anchors.horizontalCenter: parent.horizontalCenter
        width: Math.min(implicitWidth, root.width)
        elide: Text.ElideRight
        text: root.title
    }

    Row {
        anchors.horizontalCenter: parent.horizontalCenter
        spacing: 5

        ReadoutButton {
            objectName: "decrement"
            text: "\u2212"
            enabled: !root.decrementDisabled
            opacity: enabled ? 1 : 0.4
            Accessible.name: root.title + " \u2212"
            onClicked: root.decrement()
        }
        ReadoutButton {
            objectName: "reset"
            minimumWidth: 38
            text: root.value
            enabled: !root.resetDisabled
            Accessible.name: root.title + " " + root.value
            onClicked: root.reset()
        }
        ReadoutButton {
            objectName: "increment"
            text: "\uff0b"
            enabled: !root.incrementDisabled
            opacity: enabled ? 1 : 0.4
            Accessible.name: root.title + " \uff0b"
            onClicked: root.increment()
        }
    }

    Text {
        anchors.horizontalCenter: parent.horizontalCenter
        width: Math.min(implicitWidth, root.width)
        text: root.subtitle
        font: Fonts.mono(8, Font.Bold)
        color: Qt.rgba(1, 1, 1, 0.45)
        maximumLineCount: 1
        elide: Text.ElideRight
    }
}
