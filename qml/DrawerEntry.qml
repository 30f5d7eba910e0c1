import QtQuick 2.10
import QtQuick.Controls 2.3

// One entry of the navigation drawer.
ItemDelegate {
    id: entry

    width: parent.width
    font.pointSize: 20

    contentItem: Text {
        text: entry.text
        font: entry.font
        elide: Text.ElideRight
        verticalAlignment: Text.AlignVCenter
        color: entry.enabled ? "black" : Theme.disabled
    }
}
