import QtQuick 2.10
import QtQuick.Controls 2.3

// One entry of the navigation drawer.
ItemDelegate {
    id: entry

    width: parent.width
    font.pointSize: 20

    contentItem: FitText {
        text: entry.text
        font: entry.font
        color: entry.enabled ? "black" : Theme.disabled
    }
}
