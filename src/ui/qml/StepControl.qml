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
    // Shortcut actions and what each button does, for tooltips and screen readers.
    property string decrementAction
    property string resetAction
    property string incrementAction
    property string decrementDescription: title + " \u2212"
    property string resetDescription: title + " " + value
    property string incrementDescription: title + " \uff0b"

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
            shortcutAction: root.decrementAction
            description: root.decrementDescription
            onClicked: root.decrement()
        }
        ReadoutButton {
            objectName: "reset"
            minimumWidth: 38
            text: root.value
            enabled: !root.resetDisabled
            shortcutAction: root.resetAction
            description: root.resetDescription
            onClicked: root.reset()
        }
        ReadoutButton {
            objectName: "increment"
            text: "\uff0b"
            enabled: !root.incrementDisabled
            opacity: enabled ? 1 : 0.4
            shortcutAction: root.incrementAction
            description: root.incrementDescription
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
