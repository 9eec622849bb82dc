import QtQuick
import Tunescrib

// The two timbres side by side, the current one inverted.
Column {
    spacing: 6

    SectionLabel {
        text: "SOUND"
    }
    Row {
        spacing: 0

        Repeater {
            model: AppModel.soundModes

            LabelledButton {
                required property var modelData
                objectName: "sound-" + modelData.mode
                width: 78
                height: 38
                title: modelData.title
                caption: modelData.caption
                selected: AppModel.soundMode === modelData.mode
                shortcutAction: modelData.mode
                description: modelData.title + "音色にする"
                Accessible.checkable: true
                Accessible.checked: selected
                onClicked: AppModel.setSoundMode(modelData.mode)
            }
        }
    }
}
