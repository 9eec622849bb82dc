import QtQuick
import QtQuick.Dialogs
import Tunescrib

// Export of the take as a MIDI file: a transport button that asks where with the
// desktop's save dialog (Qt's own where the desktop offers none).
TransportButton {
    id: root

    text: "書き出し"
    enabled: AppModel.canExport
    onClicked: {
        dialog.currentFolder = AppModel.exportFolder
        dialog.selectedFile = AppModel.exportFolder + "/" + AppModel.proposedExportName()
        dialog.open()
    }

    FileDialog {
        id: dialog
        objectName: "exportDialog"
        title: "メロディを書き出す"
        fileMode: FileDialog.SaveFile
        nameFilters: ["MIDI (*.mid)"]
        defaultSuffix: "mid"
        acceptLabel: "書き出し"
        rejectLabel: "キャンセル"
        onAccepted: AppModel.exportTake(selectedFile)
    }
}
