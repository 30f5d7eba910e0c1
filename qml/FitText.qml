import QtQuick 2.10

// A one-line text that shrinks below its point size when its width is too small for it, so
// captions stay whole in a narrow window.
Text {
    // Names and captions may come from a display or the settings: never markup.
    textFormat: Text.PlainText
    fontSizeMode: Text.HorizontalFit
    minimumPointSize: 6
    elide: Text.ElideRight
    verticalAlignment: Text.AlignVCenter
}
