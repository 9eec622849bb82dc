import QtQuick
import QtQuick.Layouts
import Tunescrib

// The last take: its summary and its timeline, from which it can be dragged out; Ctrl+Z
// brings back a cleared take.
Rectangle {
    id: root

    Shortcut {
        sequences: [StandardKey.Undo]
        onActivated: AppModel.undoClear()
    }

    implicitHeight: column.implicitHeight + 28
    color: Colours.faded(Colours.paperLight, 0.72)
    border.width: 1
    border.color: Colours.line

    ColumnLayout {
        id: column
        anchors.fill: parent
        anchors.margins: 14
        spacing: 10

        RowLayout {
            Layout.fillWidth: true

            Column {
                Layout.alignment: Qt.AlignBaseline
                baselineOffset: melody.y + melody.baselineOffset
                spacing: 2

                SectionLabel {
                    text: "LAST TAKE"
                }
                TightText {
                    id: melody
                    text: "メロディ"
                    font: Fonts.rounded(20, Font.Black)
                    color: Colours.ink
                }
            }
            Item {
                Layout.fillWidth: true
            }
            Text {
                objectName: "takeSummary"
                Layout.alignment: Qt.AlignBaseline
                text: AppModel.takeSummary
                font: Fonts.mono(11, Font.Bold)
                color: Colours.mutedInk
            }
        }

        Timeline {
            objectName: "timeline"
            Layout.fillWidth: true
            Layout.preferredHeight: 82

            TakeDragSource {
                objectName: "takeDragSource"
                anchors.fill: parent
            }
        }
    }
}
