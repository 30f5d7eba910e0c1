import QtQuick 2.10
import QtQuick.Controls 2.3

// The check box of every form; it draws no caption, the page puts a label beside it.
CheckBox {
    id: control

    property int boxsize: Theme.onAndroid ? 80 : 40

    checked: false

    indicator: Rectangle {
        implicitWidth: control.boxsize
        implicitHeight: control.boxsize
        x: control.leftPadding
        y: (control.height - height) / 2
        radius: 3
        border.color: control.enabled ? Theme.accent : Theme.disabled

        Rectangle {
            width: parent.width * 0.7
            height: parent.height * 0.7
            anchors.centerIn: parent
            radius: 2
            color: control.enabled ? Theme.accent : Theme.disabled
            visible: control.checked
        }
    }

    // No caption; the empty content still reserves the indicator's room.
    contentItem: Item {
        implicitWidth: control.boxsize
        implicitHeight: control.boxsize
    }
}
