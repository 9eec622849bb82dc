import QtQuick
import QtQuick.Layouts
import Tunescrib

// Title, timbre selector, key-map launcher and tape transport.
RowLayout {
    id: root

    spacing: 24

    Column {
        Layout.alignment: Qt.AlignVCenter
        spacing: 2

        TightText {
            text: "MELODY SCRATCHPAD / LINUX"
            font: Fonts.mono(10, Font.Bold, 1.5)
            color: Colours.mutedInk
        }
        TightText {
            text: "Tunescrib"
            font: Fonts.rounded(34, Font.Black)
            color: Colours.ink
            Accessible.role: Accessible.Heading
            Accessible.name: text
        }
        TightText {
            text: "JISキーボードを横いっぱいに使う、20音のメロディ確認台"
            font: Fonts.sans(12, Font.Medium)
            color: Colours.mutedInk
        }
    }

    Item {
        Layout.fillWidth: true
        Layout.minimumWidth: 10
    }

    SoundSelector {
        Layout.alignment: Qt.AlignVCenter
    }

    Column {
        Layout.alignment: Qt.AlignVCenter
        spacing: 6

        SectionLabel {
            text: "KEY MAP"
        }
        LabelledButton {
            objectName: "mappingLauncher"
            width: 86
            height: 38
            title: "JIS配列"
            caption: "編集"
            shortcutAction: "keyMap"
            description: "キー割り当てを開く"
            onClicked: AppModel.openMapping()
        }
    }

    Column {
        Layout.alignment: Qt.AlignVCenter
        spacing: 6

        SectionLabel {
            text: "TAPE TRANSPORT"
        }
        Row {
            spacing: 7

            TransportButton {
                objectName: "recordButton"
                text: AppModel.isRecording ? "停止" : "録音"
                isActive: AppModel.isRecording
                activeColor: Colours.red
                dotColor: AppModel.isRecording ? "white" : Colours.red
                shortcutAction: "record"
                description: AppModel.isRecording ? "録音を停止" : "録音を開始"
                onClicked: AppModel.toggleRecording()
            }
            TransportButton {
                objectName: "playButton"
                text: AppModel.isPlaying ? "再生中" : "再生"
                enabled: AppModel.canPlay
                shortcutAction: "play"
                description: AppModel.isPlaying ? "録音を最初から再生し直す" : "録音を再生"
                onClicked: AppModel.playRecording()
            }
            TransportButton {
                objectName: "clearButton"
                text: "消去"
                enabled: AppModel.canClear
                shortcutAction: "clear"
                description: "録音を消去"
                onClicked: AppModel.clearRecording()
            }
            ExportButton {
                objectName: "exportButton"
            }
        }
    }
}
