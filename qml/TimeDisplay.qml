import QtQuick 2.10

// The big seven-segment time at the top of every timer page.
Rectangle {
    id: timeDisplay

    // The time to show. It is laid out only while its page is shown: the mirror writes the time
    // of every page ten times a second, and fitting a text into its width costs the tick.
    property string text

    width: parent.width
    height: label.implicitHeight * 1.2
    color: Theme.accent
    border.color: "black"
    border.width: 2

    FitText {
        id: label
        anchors.centerIn: parent
        width: parent.width - 2 * parent.border.width
        horizontalAlignment: Text.AlignHCenter
        font.family: lcdFont.name
        font.pointSize: 32
        font.bold: true
        text: timeDisplay.visible ? timeDisplay.text : ""
    }
}
