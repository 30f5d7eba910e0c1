import QtQuick 2.10
import QtQuick.Controls 2.3
import QtQuick.Layouts 1.3

// "Cancel" and "Save" side by side at the bottom of a form page.
RowLayout {
    id: buttons

    signal cancel
    signal save

    anchors.left: parent.left
    anchors.right: parent.right
    anchors.bottom: parent.bottom
    anchors.bottomMargin: parent.height * 0.01
    height: parent.height * 0.15

    Repeater {
        model: [qsTr("Cancel"), qsTr("Save")]

        Button {
            text: modelData
            Layout.preferredWidth: buttons.width / 2.1
            Layout.fillHeight: true
            Layout.alignment: Qt.AlignHCenter
            font.pointSize: 16
            font.bold: true
            onClicked: index === 0 ? buttons.cancel() : buttons.save()
        }
    }
}
