import QtQuick
import Tunescrib

// The 20 notes laid out like the two letter rows of a JIS keyboard: black-key notes above,
// centred between two white-key slots, white-key notes below. The cells come in note order,
// so that Tab and the arrows walk up and down the scale.
Item {
    id: root

    // Gives the keyboard's focus to the cell of `offset`, kept within the 20 notes.
    function focusCell(offset) {
        cells.itemAt(Math.max(0, Math.min(offset, cells.count - 1))).forceActiveFocus(Qt.TabFocusReason)
    }

    Repeater {
        id: cells

        model: Geometry.whiteKeyOffsets.length + Geometry.blackKeyOffsets.length

        MappingCell {
            required property int modelData
            readonly property rect area: Geometry.mappingCellRect(modelData, root.width)
            x: area.x
            y: area.y
            width: area.width
            height: area.height
            offset: modelData
            onStepRequested: step => root.focusCell(offset + step)
        }
    }
}
