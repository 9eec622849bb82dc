import QtQuick
import Tunescrib

// The status light: red with a red glow while recording, amber otherwise. The glow is a
// few fading rings, drawn once; nothing animates.
Item {
    id: root

    property bool recording: false

    implicitWidth: 8
    implicitHeight: 8

    Repeater {
        model: root.recording ? [6, 4, 2] : []

        Rectangle {
            required property int modelData
            anchors.centerIn: parent
            width: 8 + 2 * modelData
            height: width
            radius: width / 2
            color: Colours.faded(Colours.red, 0.65 * (0.5 - modelData / 14))
        }
    }

    Rectangle {
        anchors.fill: parent
        radius: 4
        color: root.recording ? Colours.red : Colours.amber
    }
}
