import QtQuick 2.10

// A thin black line between groups of drawer entries.
Item {
    width: parent.width
    height: line.height + 24

    Rectangle {
        id: line
        anchors.centerIn: parent
        width: parent.width * 0.85
        height: 1
        color: "black"
    }
}
