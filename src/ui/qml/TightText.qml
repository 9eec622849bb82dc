import QtQuick
import QtQuick.Layouts

// Text in a line box 1.2 times its size, the line height the layout was drawn with. The
// Japanese faces' own boxes are about 1.45 times their size and would push the window's
// content past its minimum size; the glyphs stay centred in the box.
Text {
    readonly property int lineBox: Math.ceil(font.pixelSize * 1.2) * Math.max(1, lineCount)

    height: lineBox
    Layout.preferredHeight: lineBox
    verticalAlignment: Text.AlignVCenter
}
