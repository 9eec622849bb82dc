import QtQuick
import Tunescrib

// One key: lit while its note sounds, with the computer key that plays it and the name
// of its note at the bottom. The keyboard around it handles the pointer.
Item {
    id: root

    property int offset
    property bool isBlack: false
    readonly property bool active: AppModel.keys[offset].active
    readonly property string noteName: AppModel.noteNames[offset] ?? ""
    readonly property string keyLabel: AppModel.keyLabels[offset] ?? ""
    readonly property real chipFontSize: isBlack ? 11 : 12

    objectName: "key" + offset
    Accessible.role: Accessible.Button
    Accessible.name: AppModel.keyNames[offset] ?? ""
    // Lit is announced as pressed, whichever source sounds the note.
    Accessible.pressed: active
    Accessible.onPressAction: {
        AppModel.pressKey(offset)
        AppModel.releaseKey(offset)
    }

    Rectangle {
        anchors.fill: parent
        color: root.isBlack ? (root.active ? Colours.amber : Colours.blackKey)
                            : (root.active ? Colours.amberLight : Colours.whiteKey)
    }

    Column {
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.bottom: parent.bottom
        anchors.bottomMargin: root.isBlack ? 10 : 12
        spacing: 5

        Rectangle {
            objectName: "chip"
            anchors.horizontalCenter: parent.horizontalCenter
            width: Math.max(26, Math.min(naturalLabel.advanceWidth + 12, root.width))
            height: Math.max(24, chipText.implicitHeight)
            color: root.isBlack ? Qt.rgba(1, 1, 1, 0.14) : Colours.paper
            border.width: 1
            border.color: root.isBlack ? Qt.rgba(1, 1, 1, 0.3) : Colours.faded(Colours.ink, 0.48)

            TextMetrics {
                id: naturalLabel
                font: chipText.font
                text: root.keyLabel
            }
            Text {
                id: chipText
                anchors.fill: parent
                anchors.leftMargin: 6
                anchors.rightMargin: 6
                text: root.keyLabel
                font: Fonts.mono(root.chipFontSize, Font.Black)
                fontSizeMode: Text.HorizontalFit
                minimumPixelSize: Math.ceil(root.chipFontSize * 0.65)
                maximumLineCount: 1
                elide: Text.ElideRight
                clip: true // a stack of combining marks stays inside the chip
                horizontalAlignment: Text.AlignHCenter
                verticalAlignment: Text.AlignVCenter
                color: root.isBlack ? "white" : Colours.ink
                Accessible.ignored: true
            }
        }

        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            width: Math.min(implicitWidth, root.width)
            text: root.noteName
            font: Fonts.mono(10, Font.Bold)
            color: root.isBlack ? "white" : Colours.ink
            elide: Text.ElideRight
            Accessible.ignored: true
        }
    }

    Rectangle {
        anchors.fill: parent
        color: "transparent"
        border.width: 1
        border.color: Colours.faded(Colours.ink, root.isBlack ? 0.9 : 0.55)
    }
}
