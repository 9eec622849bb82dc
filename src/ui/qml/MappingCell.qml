import QtQuick
import QtQuick.Controls.Basic
import Tunescrib

// One note of the key-map grid: the key bound to it and its name. Choosing it makes the
// note wait for a new key; the waiting note is highlighted.
AbstractButton {
    id: root

    property int offset
    readonly property bool target: AppModel.mappingTarget === offset
    readonly property string noteName: AppModel.noteNames[offset] ?? ""
    readonly property string keyLabel: AppModel.keyLabels[offset] ?? ""

    objectName: "cell" + offset
    focusPolicy: Qt.NoFocus
    padding: 0
    Accessible.name: noteName + "、PCキー " + keyLabel
    onClicked: AppModel.selectMapping(offset)

    contentItem: Item {
        Column {
            anchors.centerIn: parent
            spacing: 3

            Rectangle {
                anchors.horizontalCenter: parent.horizontalCenter
                width: 34
                height: 23
                color: root.target ? Colours.ink : Colours.paper
                border.width: 1
                border.color: Colours.faded(Colours.ink, 0.7)

                Text {
                    anchors.fill: parent
                    anchors.leftMargin: 1
                    anchors.rightMargin: 1
                    text: root.keyLabel
                    font: Fonts.mono(12, Font.Black)
                    fontSizeMode: Text.HorizontalFit
                    minimumPixelSize: Math.ceil(12 * 0.7)
                    maximumLineCount: 1
                    elide: Text.ElideRight
                    clip: true // a stack of combining marks stays inside the chip
                    horizontalAlignment: Text.AlignHCenter
                    verticalAlignment: Text.AlignVCenter
                    color: root.target ? Colours.paperLight : Colours.ink
                    Accessible.ignored: true
                }
            }
            Text {
                anchors.horizontalCenter: parent.horizontalCenter
                text: root.noteName
                font: Fonts.mono(9, Font.Bold)
                color: Colours.ink
                Accessible.ignored: true
            }
        }
    }

    background: Rectangle {
        color: root.target ? Colours.amberLight : "transparent"
        border.width: 1
        border.color: root.target ? Colours.ink : Colours.line
    }
}
