pragma Singleton
import QtQuick

// The window's palette: eleven fixed colours (sRGB, opaque) that never follow the system's
// light or dark appearance. Named Colours because QtQuick already has a Palette type.
QtObject {
    readonly property color paper: Qt.rgba(0.93, 0.91, 0.86, 1)
    readonly property color paperLight: Qt.rgba(0.975, 0.965, 0.935, 1)
    readonly property color ink: Qt.rgba(0.12, 0.12, 0.11, 1)
    readonly property color mutedInk: Qt.rgba(0.35, 0.34, 0.31, 1)
    readonly property color line: Qt.rgba(0.67, 0.63, 0.55, 1)
    readonly property color amber: Qt.rgba(0.91, 0.56, 0.12, 1)
    readonly property color amberLight: Qt.rgba(0.98, 0.76, 0.36, 1)
    readonly property color red: Qt.rgba(0.73, 0.18, 0.14, 1)
    readonly property color darkPanel: Qt.rgba(0.11, 0.115, 0.105, 1)
    readonly property color whiteKey: Qt.rgba(0.985, 0.975, 0.94, 1)
    readonly property color blackKey: Qt.rgba(0.09, 0.09, 0.085, 1)

    // A palette colour at another opacity.
    function faded(colour, opacity) {
        return Qt.rgba(colour.r, colour.g, colour.b, opacity)
    }
}
