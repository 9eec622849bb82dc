import QtQuick
import QtQuick.Layouts
import Tunescrib

RowLayout {
    TightText {
        text: "音はPC内で生成され、録音データは外部へ送信されません。"
        font: Fonts.mono(9, Font.Bold, 0.7)
        color: Colours.mutedInk
    }
    Item {
        Layout.fillWidth: true
    }
    TightText {
        text: "PIANO / SINE \u00b7 NATIVE AUDIO"
        font: Fonts.mono(9, Font.Bold, 0.7)
        color: Colours.mutedInk
    }
}
