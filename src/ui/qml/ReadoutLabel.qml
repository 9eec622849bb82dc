import QtQuick
import Tunescrib

// A caption on the dark readout strip.
Text {
    font: Fonts.mono(8, Font.Bold, 0.8)
    color: Qt.rgba(1, 1, 1, 0.46)
    Accessible.role: Accessible.StaticText
}
