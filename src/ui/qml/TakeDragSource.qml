import QtQuick
import Tunescrib

// Lets the take be dragged out of the window as a .mid file, a URI list to whatever
// takes files: a DAW, a notation program, a file manager.
Item {
    id: root

    Drag.dragType: Drag.Automatic
    Drag.supportedActions: Qt.CopyAction
    Drag.proposedAction: Qt.CopyAction

    DragHandler {
        id: handler
        target: null
        enabled: AppModel.canDragTake
        onActiveChanged: {
            if (!active) {
                return
            }
            // Written only now that a drag has begun: nothing leaves unasked.
            const url = AppModel.takeDragUrl().toString()
            if (url !== "") {
                root.Drag.mimeData = { "text/uri-list": url + "\r\n" }
                root.Drag.active = true
            }
        }
    }
}
