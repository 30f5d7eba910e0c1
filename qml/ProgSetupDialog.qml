import QtQuick 2.10
import QtQuick.Controls 2.3
import QtQuick.Layouts 1.3

// Edits one program line: its command, then either the timer fields or the two digit colours.
// The program page copies the line in before opening and writes it back after Save; the
// dialog itself never touches the model.
EditDialog {
    id: lineDialog

    property alias command: commandBox.currentIndex
    property alias commandFuncEnable: commandBox.enabled
    property alias commandIncInterval: incBox.checked
    property alias commandGotoLine: gotoBox.value
    property alias commandRepeatCountSet: repeatBox.value
    property alias commandStartDay: dayRow.start
    property alias commandStopDay: dayRow.stop
    property alias commandStartHour: hourRow.start
    property alias commandStopHour: hourRow.stop
    property alias commandStartMin: minRow.start
    property alias commandStopMin: minRow.stop
    property alias commandStartSec: secRow.start
    property alias commandStopSec: secRow.stop
    property alias commandEndStop: stopBox.checked
    property alias commandEndReset: resetBox.checked
    property alias commandAlarmEnabled: alarmBox.checked
    property alias commandAlarmTime: alarmTimeBox.value
    property alias commandHourColor: hourColorBox.currentIndex
    property alias commandMinSecColor: minSecColorBox.currentIndex

    // Which timer fields a command code takes: increment interval, target line, repeat count,
    // days, hours/minutes/seconds, alarm, Stop/Reset. A colour line (9) shows the colour column
    // instead and leaves these as they are.
    readonly property var enabledFields: ({
            1: [1, 0, 0, 0, 1, 1, 0],
            2: [1, 0, 0, 0, 1, 1, 0],
            3: [0, 0, 0, 1, 1, 1, 0],
            4: [0, 0, 0, 1, 1, 1, 0],
            5: [0, 0, 0, 1, 1, 1, 0],
            6: [0, 0, 0, 1, 1, 1, 0],
            7: [1, 1, 1, 0, 0, 0, 0],
            8: [0, 0, 0, 0, 0, 1, 1],
            10: [0, 0, 0, 1, 1, 1, 0],
            11: [0, 0, 0, 1, 1, 1, 0]
        })

    function setActiveElements() {
        const code = command + 1;
        colourColumn.visible = code === 9;
        timerColumn.visible = !colourColumn.visible;
        const on = enabledFields[code];
        if (on === undefined)
            return;
        const groups = [[incRow], [gotoRow], [repeatRow], [dayRow], [hourRow, minRow, secRow], [alarmRow], [endRow]];
        for (let i = 0; i < groups.length; ++i) {
            for (const item of groups[i])
                item.enabled = on[i] === 1;
        }
    }

    // A caption with a start and a stop box side by side.
    component TimeRow: Row {
        property alias caption: label.text
        property alias start: startTime.value
        property alias stop: stopTime.value
        property int to: 60

        width: parent.width

        FormLabel {
            id: label
            leftPadding: parent.width * 0.02
            width: parent.width * 0.22
            height: parent.height
        }
        MySpinBox {
            id: startTime
            width: parent.width * 0.36
            height: parent.height
            boxsize: 30
            to: parent.to
        }
        Item {
            width: parent.width * 0.04
            height: parent.height
        }
        MySpinBox {
            id: stopTime
            width: parent.width * 0.36
            height: parent.height
            boxsize: 30
            to: parent.to
        }
    }

    title: qsTr("Dialog")
    height: parent.height

    Column {
        id: form

        readonly property real rowHeight: lineDialog.availableHeight / 17

        width: parent.width

        Row {
            width: parent.width
            height: lineDialog.availableHeight * 0.1

            FormLabel {
                leftPadding: parent.width * 0.02
                width: parent.width * 0.25
                height: parent.height
                text: qsTr("Funct:")
                font.pointSize: 16
            }
            FitComboBox {
                id: commandBox
                objectName: "commandBox"
                width: parent.width * 0.6
                height: parent.height
                font.pointSize: 14
                model: ["Interval CountDown", "Interval CountUp", "CountUp HH:MM:SS", "CountUp MM:SS:TS",
                    "CountDown HH:MM:SS", "CountDown MM:SS:TS", "Goto Line", "End Program", "Change Colors",
                    "CountUp DD:HH:MM", "CountDown DD:HH:MM"]
                onActivated: function (index) {
                    console.log("ComboBox Activated, value=" + index);
                    lineDialog.setActiveElements();
                }
            }
        }

        Column {
            id: timerColumn
            objectName: "timerColumn"
            width: parent.width

            FormRow {
                id: incRow
                objectName: "incRow"
                height: form.rowHeight
                caption: qsTr("Increment Interval#:")
                captionPointSize: 12

                MyCheckbox {
                    id: incBox
                    anchors.verticalCenter: parent.verticalCenter
                    padding: 0
                }
            }

            FormRow {
                id: gotoRow
                objectName: "gotoRow"
                height: form.rowHeight
                caption: qsTr("Goto Line Number:")
                captionPointSize: 12

                MySpinBox {
                    id: gotoBox
                    anchors.fill: parent
                    from: 1
                    to: 9
                }
            }

            FormRow {
                id: repeatRow
                objectName: "repeatRow"
                height: form.rowHeight
                caption: qsTr("Repeat Count:")
                captionPointSize: 12

                MySpinBox {
                    id: repeatBox
                    anchors.fill: parent
                    to: 254
                }
            }

            Row {
                width: parent.width
                height: form.rowHeight

                Repeater {
                    model: [[qsTr("Time-"), 0.22], [qsTr("Start:"), 0.4], [qsTr("Stop:"), 0.36]]

                    FormLabel {
                        leftPadding: index === 0 ? parent.width * 0.02 : 0
                        width: parent.width * modelData[1]
                        height: parent.height
                        text: modelData[0]
                        font.pointSize: 16
                    }
                }
            }

            TimeRow {
                id: dayRow
                objectName: "dayRow"
                height: form.rowHeight
                caption: qsTr("Days:")
                to: 99
            }
            TimeRow {
                id: hourRow
                objectName: "hourRow"
                height: form.rowHeight
                caption: qsTr("Hrs:")
                to: 99
            }
            TimeRow {
                id: minRow
                objectName: "minRow"
                height: form.rowHeight
                caption: qsTr("Mins:")
            }
            TimeRow {
                id: secRow
                objectName: "secRow"
                height: form.rowHeight
                caption: qsTr("Secs:")
            }

            FormLabel {
                x: parent.width * 0.02
                width: parent.width
                height: form.rowHeight
                text: qsTr("End Program Behavior:")
                font.pointSize: 16
            }

            RowLayout {
                id: endRow
                objectName: "endRow"
                width: parent.width
                height: form.rowHeight
                spacing: 4

                FormLabel {
                    Layout.leftMargin: parent.width * 0.02
                    Layout.preferredWidth: parent.width * 0.2
                    Layout.fillHeight: true
                    text: qsTr("Stop:")
                }
                // Stop and Reset exclude each other: checking one unchecks the other.
                MyCheckbox {
                    id: stopBox
                    objectName: "stopBox"
                    padding: 0
                    onToggled: {
                        console.log("StopCheck=" + checked);
                        if (checked)
                            resetBox.checked = false;
                    }
                }
                FormLabel {
                    Layout.leftMargin: parent.width * 0.1
                    Layout.preferredWidth: parent.width * 0.2
                    Layout.fillHeight: true
                    text: qsTr("Reset:")
                }
                MyCheckbox {
                    id: resetBox
                    objectName: "resetBox"
                    padding: 0
                    onToggled: {
                        console.log("ResetCheck=" + checked);
                        if (checked)
                            stopBox.checked = false;
                    }
                }
                Item {
                    Layout.fillWidth: true
                }
            }

            FormLabel {
                x: parent.width * 0.02
                width: parent.width
                height: form.rowHeight
                text: qsTr("Start of Step Alarm:")
                font.pointSize: 16
            }

            RowLayout {
                id: alarmRow
                objectName: "alarmRow"
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
        }

        Column {
            id: colourColumn
            objectName: "colourColumn"
            width: parent.width
            visible: false

            readonly property var colourNames: ["Red", "Green", "Blue", "Cyan", "Magenta", "Yellow", "White", "User1",
                "User2", "User3"]

            FormLabel {
                x: parent.width * 0.02
                width: parent.width
                height: form.rowHeight
                text: qsTr("Digit Colors:")
                font.pointSize: 16
            }

            FormRow {
                height: form.rowHeight * 1.5
                caption: qsTr("Hours Color:")
                captionPointSize: 12
                captionShare: 0.43

                FitComboBox {
                    id: hourColorBox
                    anchors.fill: parent
                    font.pointSize: 12
                    model: colourColumn.colourNames
                }
            }

            FormRow {
                height: form.rowHeight * 1.5
                caption: qsTr("Min/Sec Color:")
                captionPointSize: 12
                captionShare: 0.43

                FitComboBox {
                    id: minSecColorBox
                    anchors.fill: parent
                    font.pointSize: 12
                    model: colourColumn.colourNames
                }
            }
        }
    }
}
