import QtQuick 2.10
import QtQuick.Controls 2.3
import QtQuick.Layouts 1.3

// Edits one count-down preset: caption, start time, end alarm and format. The presets share it;
// each opens it with edit().
EditDialog {
    id: presetDialog

    property alias buttonName: nameField.text
    property alias buttonDay: dayBox.value
    property alias buttonHour: hourBox.value
    property alias buttonMin: minBox.value
    property alias buttonSec: secBox.value
    property alias buttonAlarmEnabled: alarmBox.checked
    property alias buttonAlarmTime: alarmTimeBox.value
    property alias buttonMode: modeBox.currentIndex

    contentHeight: stackView.height * 2 / 3

    Column {
        id: form

        readonly property real rowHeight: presetDialog.contentHeight / 11

        width: parent.width

        FormRow {
            height: form.rowHeight
            caption: qsTr("Name:")

            TextField {
                id: nameField
                anchors.fill: parent
                focus: true
            }
        }

        FormLabel {
            width: parent.width
            height: form.rowHeight
            text: qsTr("Initial Countdown Time:")
            font.pointSize: 16
        }

        FormRow {
            height: form.rowHeight
            caption: qsTr("Start Days:")
            captionPointSize: 12

            MySpinBox {
                id: dayBox
                anchors.fill: parent
                to: 99
            }
        }

        FormRow {
            height: form.rowHeight
            caption: qsTr("Start Hours:")
            captionPointSize: 12

            MySpinBox {
                id: hourBox
                anchors.fill: parent
                to: 99
            }
        }

        FormRow {
            height: form.rowHeight
            caption: qsTr("Start Mins")
            captionPointSize: 12

            MySpinBox {
                id: minBox
                anchors.fill: parent
                to: 60
            }
        }

        FormRow {
            height: form.rowHeight
            caption: qsTr("Start Secs")
            captionPointSize: 12

            MySpinBox {
                id: secBox
                anchors.fill: parent
                to: 60
            }
        }

        FormLabel {
            width: parent.width
            height: form.rowHeight
            text: qsTr("End of Countdown Alarm:")
            font.pointSize: 16
        }

        RowLayout {
            width: parent.width
            height: form.rowHeight
            spacing: 4

            FormLabel {
                Layout.leftMargin: parent.width * 0.02
                Layout.preferredWidth: parent.width * 0.2
                Layout.fillHeight: true
                text: qsTr("Alarm:")
            }
            MyCheckbox {
                id: alarmBox
                padding: 0
            }
            MySpinBox {
                id: alarmTimeBox
                Layout.fillWidth: true
                Layout.fillHeight: true
                to: 10
            }
            FormLabel {
                Layout.rightMargin: parent.width * 0.02
                Layout.fillHeight: true
                text: qsTr("Secs")
            }
        }

        FormRow {
            height: form.rowHeight
            caption: qsTr("Mode:")
            captionPointSize: 12
            captionShare: 0.3

            FormatComboBox {
                id: modeBox
                anchors.fill: parent
            }
        }
    }
}
