import QtQuick 2.10

// Builds a talk timer: green from the total time down to the change time, yellow to zero, then
// red counting up or the end. Reset arms it on the selected displays and keeps the values as
// the page's defaults, Start/Pause runs it.
Item {
    id: presentPage

    property alias timeDisplay: display.text
    property alias startPauseButton: startButton
    property alias presentStartButtonText: startButton.nameStrig
    property alias startTime: startBox.value
    property alias changeTime: changeBox.value
    property alias presentFormat: formatBox.currentIndex
    property alias countupCB: countUpBox.checked
    property alias alarmCB: alarmBox.checked

    TimeDisplay {
        id: display
        text: "00:00.0"
    }

    TimerFields {
        display: display

        TimerFieldRow {
            caption: qsTr("Total\nTime:")

            MySpinBox {
                id: startBox
                width: presentPage.width * 0.5
                height: parent.height
                to: 7200
                value: window.presStartTime
            }
        }

        TimerFieldRow {
            caption: qsTr("Change\nTime:")

            MySpinBox {
                id: changeBox
                width: presentPage.width * 0.5
                height: parent.height
                to: 7200
                value: window.presChangeTime
            }
        }

        TimerFieldRow {
            height: display.height * 1.2
            caption: qsTr("Display\nFormat:")
            captionShare: 0.25

            FormatComboBox {
                id: formatBox
                width: presentPage.width * 0.65
                height: parent.height
                model: ["(HR):MIN:SEC.tSec", "(DAY):HR:MIN:SEC"]
                currentIndex: window.presFormat
            }
        }

        TimerFieldRow {
            caption: qsTr("Enable CountUp:")

            MyCheckbox {
                id: countUpBox
                height: parent.height
                padding: 0
                checked: window.presCountUp
            }
        }

        TimerFieldRow {
            caption: qsTr("Enable Alarms:")

            MyCheckbox {
                id: alarmBox
                height: parent.height
                padding: 0
                checked: window.presAlarmCB
            }
        }
    }

    PresentStartPauseButton {
        id: startButton
        y: presentPage.height * 0.6
        width: parent.width
        height: presentPage.height * 0.12
    }

    PresentResetButton {
        y: presentPage.height * 0.75
        width: parent.width
        height: presentPage.height * 0.12
        startTime: presentPage.startTime
        changeTime: presentPage.changeTime
        presentFormat: presentPage.presentFormat
        countupCB: presentPage.countupCB
        alarmCB: presentPage.alarmCB
    }

    TimeModeButton {
        anchors.bottom: parent.bottom
        width: parent.width
        height: presentPage.height * 0.08
    }
}
