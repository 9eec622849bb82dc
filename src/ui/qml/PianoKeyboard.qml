import QtQuick
import Tunescrib

// Twelve white and eight black keys filling the given size. One pointer area over all
// of them: a press plays the key under it at once (black keys first), the pressed key
// keeps the pointer until the button comes up anywhere, and a cancelled grab counts as
// the release.
Item {
    id: root

    // The offset the pointer holds down, -1 when none: the one view-local state.
    property int heldOffset: -1

    clip: true

    Repeater {
        model: Geometry.whiteKeyOffsets

        PianoKey {
            required property int modelData
            readonly property rect area: Geometry.keyRect(modelData, root.width, root.height)
            // Edges on whole pixels, and each key one pixel wider than its share, under its
            // right neighbour: the outlines of two keys that touch fall on one line, as
            // thin as every other outline, and the last key's right outline is not lost to
            // the clip.
            x: Math.round(area.x)
            y: area.y
            width: Math.min(Math.round(area.x + area.width) + 1, Math.floor(root.width)) - x
            height: area.height
            offset: modelData
            isBlack: false
        }
    }

    Repeater {
        model: Geometry.blackKeyOffsets

        PianoKey {
            required property int modelData
            readonly property rect area: Geometry.keyRect(modelData, root.width, root.height)
            // Edges on whole pixels, so that neighbouring outlines coincide and the last
            // key's right outline is not lost to the clip.
            x: Math.round(area.x)
            y: area.y
            width: Math.round(area.x + area.width) - x
            height: area.height
            offset: modelData
            isBlack: true
        }
    }

    MouseArea {
        anchors.fill: parent
        preventStealing: true
        Accessible.ignored: true

        function release() {
            if (root.heldOffset >= 0) {
                const offset = root.heldOffset
                root.heldOffset = -1
                AppModel.releaseKey(offset)
            }
        }

        onPressed: mouse => {
            if (root.heldOffset >= 0)
                return
            const offset = Geometry.keyAt(mouse.x, mouse.y, root.width, root.height)
            if (offset >= 0) {
                root.heldOffset = offset
                AppModel.pressKey(offset)
            }
        }
        onReleased: release()
        onCanceled: release()
        Component.onDestruction: release()
    }
}
