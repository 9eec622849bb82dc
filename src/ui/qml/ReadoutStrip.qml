import QtQuick
import QtQuick.Layouts
import Tunescrib

// The dark instrument strip: the current note, the status line, and the transposition
// and octave steppers.
Rectangle {
    id: root

    implicitHeight: 84
    color: Colours.darkPanel
    border.width: 1
    border.color: Colours.ink

    component Divider: Rectangle {
        Layout.alignment: Qt.AlignVCenter
        Layout.preferredWidth: 1
        Layout.preferredHeight: 52
        color: Qt.rgba(1, 1, 1, 0.16)
    }

    RowLayout {
        anchors.fill: parent
        spacing: 0

        Item {
            objectName: "currentNote"
            Layout.preferredWidth: 16 + 190
            Layout.fillHeight: true
            // Read as one status line, announced as it changes.
            Accessible.role: Accessible.StatusBar
            Accessible.name: "現在の音 " + (AppModel.hasCurrentNote
                                          ? AppModel.currentName + " " + AppModel.currentSolfege
                                          : "入力待ち")

            Column {
                x: 16
                width: 190
                anchors.verticalCenter: parent.verticalCenter
                spacing: 2

                ReadoutLabel {
                    text: "CURRENT NOTE"
                    Accessible.ignored: true
                }
                Item {
                    width: parent.width
                    height: noteName.height

                    Text {
                        id: noteName
                        objectName: "noteName"
                        text: AppModel.hasCurrentNote ? AppModel.currentName : "\u2014"
                        font: Fonts.mono(30, Font.Black)
                        color: Colours.amberLight
                        Accessible.ignored: true
                    }
                    Text {
                        objectName: "solfege"
                        x: noteName.width + 10
                        width: Math.max(parent.width - x, 0)
                        anchors.baseline: noteName.baseline
                        text: AppModel.hasCurrentNote ? AppModel.currentSolfege : "入力待ち"
                        font: Fonts.sans(12, Font.DemiBold)
                        color: Qt.rgba(1, 1, 1, 0.7)
                        elide: Text.ElideRight
                        Accessible.ignored: true
                    }
                }
            }
        }

        Divider {}

        RowLayout {
            Layout.fillWidth: true
            Layout.fillHeight: true
            Layout.leftMargin: 16
            Layout.rightMargin: 16
            spacing: 8

            StatusLight {
                Layout.alignment: Qt.AlignVCenter
                recording: AppModel.isRecording
            }
            Text {
                objectName: "notice"
                Layout.fillWidth: true
                Layout.preferredWidth: 0 // the room left over, however long the text
                Layout.alignment: Qt.AlignVCenter
                text: AppModel.notice
                font: Fonts.sans(12, Font.Medium)
                color: Qt.rgba(1, 1, 1, 0.84)
                wrapMode: Text.Wrap
                maximumLineCount: 2
                elide: Text.ElideRight
                // The status line, announced as it changes.
                Accessible.role: Accessible.StatusBar
                Accessible.name: text
                Accessible.description: "状態"
            }
        }

        Divider {}

        StepControl {
            objectName: "transpositionStepper"
            Layout.preferredWidth: 158
            Layout.alignment: Qt.AlignVCenter
            title: "半音移動"
            value: AppModel.transpositionText
            subtitle: "SEMITONE"
            decrementDisabled: !AppModel.canLowerTransposition
            incrementDisabled: !AppModel.canRaiseTransposition
            resetDisabled: !AppModel.canResetTransposition
            decrementAction: "transposeDown"
            resetAction: "transposeReset"
            incrementAction: "transposeUp"
            decrementDescription: "半音下げる"
            resetDescription: "半音移動 " + AppModel.transpositionText + "、0に戻す"
            incrementDescription: "半音上げる"
            onDecrement: AppModel.changeTransposition(AppModel.transposition - 1)
            onReset: AppModel.changeTransposition(0)
            onIncrement: AppModel.changeTransposition(AppModel.transposition + 1)
        }

        Divider {}

        StepControl {
            objectName: "octaveStepper"
            Layout.preferredWidth: 148
            Layout.alignment: Qt.AlignVCenter
            title: "OCTAVE"
            value: AppModel.baseOctave
            subtitle: AppModel.rangeText
            decrementDisabled: !AppModel.canLowerOctave
            incrementDisabled: !AppModel.canRaiseOctave
            resetDisabled: true
            decrementAction: "octaveDown"
            incrementAction: "octaveUp"
            decrementDescription: "オクターブを下げる"
            resetDescription: "オクターブ " + AppModel.baseOctave
            incrementDescription: "オクターブを上げる"
            onDecrement: AppModel.changeOctave(-1)
            onIncrement: AppModel.changeOctave(1)
        }
    }
}
