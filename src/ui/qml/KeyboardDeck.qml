import QtQuick
import QtQuick.Layouts
import Tunescrib

// The on-screen keyboard with its caption and range.
Rectangle {
    id: root

    implicitHeight: column.implicitHeight + 28
    color: Colours.paperLight
    border.width: 1
    border.color: Colours.line

    ColumnLayout {
        id: column
        anchors.fill: parent
        anchors.margins: 14
        spacing: 10

        RowLayout {
            Layout.fillWidth: true

            Text {
                text: "20 NOTE / JIS QUICK CHECK"
                font: Fonts.mono(10, Font.Bold, 0.8)
                color: Colours.mutedInk
            }
            Item {
                Layout.fillWidth: true
            }
            Text {
                objectName: "deckRange"
                text: AppModel.rangeText
                font: Fonts.mono(10, Font.Bold, 0.8)
                color: Colours.mutedInk
            }
        }

        PianoKeyboard {
            objectName: "pianoKeyboard"
            Layout.fillWidth: true
            Layout.preferredHeight: 205
        }

        TightText {
            Layout.fillWidth: true
            text: "JIS配列の A〜] を使って演奏できます。鍵盤クリックにも対応し、音声エンジンは起動時から待機します。"
            font: Fonts.sans(11, Font.Medium)
            color: Colours.mutedInk
            wrapMode: Text.Wrap
        }
    }
}
