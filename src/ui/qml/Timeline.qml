import QtQuick
import Tunescrib

// The last take as amber tags on a dark strip: left to right by start, as wide as they
// last, three rows by position in the take; a hint while there is no take.
Item {
    id: root

    clip: true

    Rectangle {
        anchors.fill: parent
        color: Colours.faded(Colours.ink, 0.92)
    }

    Repeater {
        model: 3

        Rectangle {
            required property int index
            x: root.width * (index + 1) * 0.25
            width: 1
            height: root.height
            color: Qt.rgba(1, 1, 1, 0.09)
        }
    }

    Text {
        objectName: "timelineHint"
        anchors.fill: parent
        visible: AppModel.noteCount === 0
        text: "「録音」を押してから弾くと、ここに音の並びが残ります。"
        font: Fonts.sans(11, Font.Medium)
        color: Qt.rgba(1, 1, 1, 0.55)
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
    }

    TimelineTags {
        objectName: "timelineTags"
        anchors.fill: parent
        take: AppModel.take
        tagColor: Colours.amberLight
        nameColor: Colours.ink
        font: Fonts.mono(9, Font.Black)
    }

    Rectangle {
        anchors.fill: parent
        color: "transparent"
        border.width: 1
        border.color: Colours.ink
    }
}
