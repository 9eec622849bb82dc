import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import QtQuick.Templates as T
import Tunescrib

// The key-map panel: a modal 980 x 360 sheet shown while the model says the key map is
// open. It never closes itself on a click outside; Escape closes it only when no note
// waits for a key (a waiting note gets Escape first, as its cancel). However it closes,
// the model's close runs, so a capture never stays on behind a closed panel.
Popup {
    id: root

    parent: T.Overlay.overlay
    anchors.centerIn: parent
    width: 980
    height: 360
    padding: 0
    modal: true
    // The panel takes the keyboard's focus so that Tab and the arrows move among its notes;
    // the bridge still offers every key to the model first, so keys play and capture as
    // before. Closing gives the focus back to the window.
    focus: true
    closePolicy: Popup.NoAutoClose
    visible: AppModel.mappingOpen
    onClosed: {
        if (AppModel.mappingOpen)
            AppModel.closeMapping()
    }

    T.Overlay.modal: Rectangle {
        color: Qt.rgba(0, 0, 0, 0.18)
    }

    // The sheet is its content, opaque, so that on a small screen it can be drawn at full
    // size and shrunk smoothly like the window (its one-pixel outlines would vanish).
    background: null

    contentItem: Rectangle {
        color: Colours.paper
        border.width: 1
        border.color: Colours.line
        layer.enabled: root.scale < 1
        layer.smooth: true
        focus: true
        // The arrows enter the grid at its first note; Tab does by itself.
        Keys.onPressed: event => {
            if (event.key === Qt.Key_Left || event.key === Qt.Key_Right
                    || event.key === Qt.Key_Up || event.key === Qt.Key_Down) {
                grid.focusCell(0)
                event.accepted = true
            }
        }

        // Escape closes an idle panel. While a note waits for a key the model takes Escape
        // first (the key-event bridge accepts its shortcut override), so this never fires
        // then. It lives inside the panel: a modal popup blocks the window's shortcuts.
        Shortcut {
            sequence: "Esc"
            enabled: AppModel.mappingOpen && AppModel.mappingTarget < 0
            onActivated: AppModel.closeMapping()
        }

        ColumnLayout {
            anchors.fill: parent
            anchors.margins: 22
            spacing: 12

            RowLayout {
                Layout.fillWidth: true

                Column {
                    Layout.alignment: Qt.AlignBaseline
                    baselineOffset: heading.y + heading.baselineOffset
                    spacing: 2

                    SectionLabel {
                        text: "JIS KEY MAP / 20 NOTES"
                    }
                    Text {
                        id: heading
                        text: "キー割り当て — JIS配列"
                        font: Fonts.rounded(20, Font.Black)
                        color: Colours.ink
                    }
                }
                Item {
                    Layout.fillWidth: true
                }
                OutlinedButton {
                    objectName: "closeMapping"
                    Layout.alignment: Qt.AlignBaseline
                    Layout.preferredWidth: 90
                    text: "閉じる"
                    shortcutAction: "keyMap"
                    description: "キー割り当てを閉じる"
                    onClicked: AppModel.closeMapping()
                }
            }

            Text {
                objectName: "mappingPrompt"
                Layout.fillWidth: true
                Layout.minimumHeight: 30
                verticalAlignment: Text.AlignTop
                text: AppModel.capturePrompt
                font: Fonts.sans(11, Font.Medium)
                color: Colours.mutedInk
                wrapMode: Text.Wrap
            }

            MappingGrid {
                id: grid
                objectName: "mappingGrid"
                Layout.fillWidth: true
                Layout.preferredHeight: 120
            }

            RowLayout {
                spacing: 14

                OutlinedButton {
                    objectName: "resetBindings"
                    Layout.preferredWidth: 160
                    text: "標準配置に戻す"
                    description: "標準のキー配置に戻す"
                    onClicked: AppModel.resetBindings()
                }
                Text {
                    text: "変更した配置はこのPCに自動保存されます。"
                    font: Fonts.sans(10, Font.Medium)
                    color: Colours.mutedInk
                }
            }

            Rectangle {
                objectName: "audioErrorRow"
                visible: AppModel.hasAudioError
                Layout.fillWidth: true
                implicitHeight: errorText.implicitHeight + 20
                color: Colours.faded(Colours.red, 0.08)
                border.width: 1
                border.color: Colours.faded(Colours.red, 0.45)

                Text {
                    id: errorText
                    anchors.fill: parent
                    anchors.margins: 10
                    text: AppModel.audioError
                    font: Fonts.sans(11, Font.DemiBold)
                    color: Colours.red
                    wrapMode: Text.Wrap
                    maximumLineCount: 3
                    elide: Text.ElideRight
                }
            }

            RowLayout {
                objectName: "helpRow"
                visible: !AppModel.hasAudioError
                Layout.fillWidth: true
                Layout.topMargin: 4
                spacing: 10

                Text {
                    Layout.alignment: Qt.AlignTop
                    text: "01"
                    font: Fonts.mono(24, Font.Black)
                    color: Colours.amber
                }
                Text {
                    Layout.alignment: Qt.AlignTop
                    Layout.fillWidth: true
                    text: "上段は黒鍵、下段は白鍵です。音を選び、次に使いたいPCキーを押します。同じキーを選ぶと割り当てを入れ替えます。"
                    font: Fonts.sans(10, Font.Medium)
                    color: Colours.mutedInk
                    wrapMode: Text.Wrap
                }
            }

            Item {
                Layout.fillHeight: true
            }
        }
    }
}
