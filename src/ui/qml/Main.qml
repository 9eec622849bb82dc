import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Tunescrib

// The one window: header, readout strip, keyboard deck, last take and footer, with the
// key-map panel over them while it is open.
ApplicationWindow {
    id: window

    title: "Tunescrib"
    width: Math.min(1320, fit.room.width)
    height: Math.min(820, fit.room.height)
    minimumWidth: Math.ceil(1050 * fit.scale)
    minimumHeight: Math.ceil(720 * fit.scale)
    visible: true
    color: Colours.paper
    onClosing: AppModel.silence()

    // The layout needs 1050 by 720; on a screen with less room the content is drawn smaller
    // as a whole.
    WindowFit {
        id: fit
        window: window
        minimum: Qt.size(1050, 720)
    }

    Rectangle {
        objectName: "content"
        width: window.width / fit.scale
        height: window.height / fit.scale
        scale: fit.scale
        transformOrigin: Item.TopLeft
        color: Colours.paper
        // Drawn at full size and then shrunk smoothly: scaled directly, a one-pixel outline
        // that falls between pixel centres vanishes, and with it the lines between white
        // keys. The paper and its wash are inside, so the layer has no transparent parts.
        layer.enabled: fit.scale < 1
        layer.smooth: true

        // The paper's light falls from the top-left corner: a diagonal wash over the window.
        Item {
            anchors.fill: parent
            clip: true

            Rectangle {
                readonly property real diagonal: Math.hypot(parent.width, parent.height)
                anchors.centerIn: parent
                width: diagonal
                height: diagonal
                rotation: Math.atan2(parent.height, parent.width) * 180 / Math.PI
                gradient: Gradient {
                    orientation: Gradient.Horizontal
                    GradientStop { position: 0; color: Qt.rgba(1, 1, 1, 0.2) }
                    GradientStop { position: 0.5; color: Qt.rgba(1, 1, 1, 0) }
                    GradientStop { position: 1; color: Qt.rgba(0, 0, 0, 0.035) }
                }
            }
        }

        ColumnLayout {
            anchors.fill: parent
            anchors.leftMargin: 24
            anchors.rightMargin: 24
            anchors.topMargin: 18
            anchors.bottomMargin: 18
            spacing: 0

            Item {
                Layout.fillHeight: true
            }
            Header {
                Layout.fillWidth: true
                Layout.bottomMargin: 14
            }
            Rectangle {
                Layout.fillWidth: true
                Layout.preferredHeight: 1
                color: Colours.faded(Colours.ink, 0.35)
            }
            ColumnLayout {
                Layout.fillWidth: true
                Layout.topMargin: 16
                spacing: 14

                ReadoutStrip {
                    objectName: "readoutStrip"
                    Layout.fillWidth: true
                }
                KeyboardDeck {
                    Layout.fillWidth: true
                }
                RecordingSection {
                    Layout.fillWidth: true
                }
            }
            Footer {
                objectName: "footer"
                Layout.fillWidth: true
                Layout.topMargin: 12
            }
            Item {
                Layout.fillHeight: true
            }
        }
    }

    KeyMapPanel {
        objectName: "keyMapPanel"
        scale: fit.scale
    }
}
