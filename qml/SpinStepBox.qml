import QtQuick 2.10

// The + or - box of MySpinBox.
Rectangle {
    property string sign
    property bool pressed: false
    // The whole spin box's state: a box at the end of the range stays red.
    property bool active: true
    property real signPixelSize: 24

    color: !active ? Theme.disabled : pressed ? "black" : Theme.gradientTop
    border.color: "black"

    Text {
        anchors.fill: parent
        text: parent.sign
        font.pixelSize: parent.signPixelSize
        fontSizeMode: Text.Fit
        color: "black"
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
    }
}
