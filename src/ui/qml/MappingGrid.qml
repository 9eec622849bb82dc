import QtQuick
import Tunescrib

// The 20 notes laid out like the two letter rows of a JIS keyboard: black-key notes above,
// centred between two white-key slots, white-key notes below.
Item {
    id: root

    Repeater {
        model: Geometry.blackKeyOffsets.concat(Geometry.whiteKeyOffsets)

        MappingCell {
            required property int modelData
            readonly property rect area: Geometry.mappingCellRect(modelData, root.width)
            x: area.x
            y: area.y
            width: area.width
            height: area.height
            offset: modelData
        }
    }
}
