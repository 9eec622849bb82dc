import QtQuick
import QtQuick.Controls.Basic
import Tunescrib

// One note of the key-map grid: the key bound to it and its name. Choosing it makes the
// note wait for a new key; the waiting note is highlighted. Tab reaches it, never a click;
// Enter or Space chooses it, the arrows ask for a neighbour.
AbstractButton {
    id: root

    property int offset
    readonly property bool target: AppModel.mappingTarget === offset
    readonly property string noteName: AppModel.noteNames[offset] ?? ""
    readonly property string keyLabel: AppModel.keyLabels[offset] ?? ""

    objectName: "cell" + offset
    // The cell `step` notes away should take the focus.
    signal stepRequested(int step)

    focusPolicy: Qt.TabFocus
    padding: 0
    Accessible.name: (AppModel.keyNames[offset] ?? "") + (target ? "、キー入力待ち" : "")
    Accessible.description: "選ぶと、次に押したキーをこの音に割り当てます"
    onClicked: AppModel.selectMapping(offset)
    Keys.onReturnPressed: clicked()
    Keys.onEnterPressed: clicked()
    Keys.onLeftPressed: stepRequested(-1)
    Keys.onRightPressed: stepRequested(1)
    // Between the rows: a black key's note is a semitone from the white ones beside it.
    Keys.onUpPressed: stepRequested(1)
    Keys.onDownPressed: stepRequested(-1)

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
        border.width: root.visualFocus ? 2 : 1
        border.color: root.target || root.visualFocus ? Colours.ink : Colours.line
    }
}
