import QtQuick
import Tunescrib

// Labels a group on the paper background ("SOUND", "LAST TAKE").
Text {
    font: Fonts.mono(9, Font.Bold, 1.2)
    color: Colours.mutedInk
    Accessible.role: Accessible.StaticText
}
